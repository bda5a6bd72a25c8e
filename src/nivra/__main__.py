"""``python -m nivra``: the command line (nivra._cli)."""

import sys

from nivra._cli import main

sys.exit(main())
