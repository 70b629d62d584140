"""xwd -root -silent | xdisplay.py OUT.png, as scripts/desktop.sh runs it: the
screenshot as PNG, by ../xdesk.py, which both suites share."""

import os
import runpy

runpy.run_path(os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))),
                            "xdesk.py"), run_name="__main__")
