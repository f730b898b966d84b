"""Prints where this Python looks for the modules of an install prefix
(the argument): a site folder of its own in the prefix's lib folder, where it
has one (Debian's /usr/local/lib/python3.11/dist-packages for /usr/local),
else its layout for a prefix, <prefix>/lib/python3.11/site-packages, which
PYTHONPATH has to name. cmake --install runs it, so that --prefix counts."""

import os
import site
import sys
import sysconfig

prefix = os.path.abspath(sys.argv[1])
lib = os.path.join(prefix, sys.platlibdir)
own = [folder for folder in site.getsitepackages() if os.path.dirname(os.path.dirname(folder)) == lib]
print(own[0] if own else sysconfig.get_path("platlib", "posix_prefix", vars={"base": prefix, "platbase": prefix}))
