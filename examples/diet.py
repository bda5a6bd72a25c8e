"""Smoke example: start the optimizer library and print its version and banner."""

import nivra

print("Nivra", nivra.getversion())
print(nivra.getbanner())
