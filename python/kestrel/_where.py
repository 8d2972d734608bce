"""Where libkestrel.so is looked for beside the package: read by the package
when it loads the library, and by setup.py when it records the one an
installed package uses. Nothing here imports the rest of the package."""

import os
import subprocess

NAME = "libkestrel.so"


def beside(package_folder):
    """The libraries a package in this folder belongs to, most specific first."""
    return [os.path.normpath(p) for p in (
        os.path.join(package_folder, NAME),
        # PREFIX/share/kestrel/python/kestrel, where `cmake --install` puts it -> PREFIX/lib
        os.path.join(package_folder, "..", "..", "..", "..", "lib", NAME),
        # The sources' python/kestrel -> the build scripts/setup.sh makes
        os.path.join(package_folder, "..", "..", "build", "release", NAME),
    )]


def installed():
    """The library of an installation pkg-config knows (kestrel.pc); None
    without one."""
    try:
        done = subprocess.run(["pkg-config", "--variable=libdir", "kestrel"], capture_output=True, text=True,
                              check=False)
    except OSError:
        return None
    libdir = done.stdout.strip()
    return os.path.join(libdir, NAME) if done.returncode == 0 and libdir else None
