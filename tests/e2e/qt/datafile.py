"""bench/desktop_cpu.sh imports datafile from this folder; the module itself is
../datafile.py, shared with the Windows suite, run here as this module."""

import os

_path = os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "datafile.py")
with open(_path) as _f:
    exec(compile(_f.read(), _path, "exec"))
