"""Builds the kestrel package with the libkestrel.so it is to use recorded
in kestrel/_installed.py, so that the installed package finds its library
without any variable set. The library is, in this order:

- the one KESTREL_LIBRARY names while installing;
- one beside the package (kestrel/_where.py): the installation this folder
  belongs to (PREFIX/lib, this folder being PREFIX/share/kestrel/python,
  where `cmake --install` puts it), or the project's build beside this
  folder (build/release, where scripts/setup.sh builds);
- an installation pkg-config knows (kestrel.pc).

Its absolute path is recorded, not a copy: libkestrel.so loads the server
backend and finds the bulk loader beside itself, and a rebuilt library is
used without installing the package again. Moving or removing the library
takes installing the package again."""

import atexit
import os
import runpy
import shutil
import tempfile
import types

from setuptools import setup
from setuptools.command.build_py import build_py

HERE = os.path.dirname(os.path.abspath(__file__))


def _where():
    """kestrel/_where.py, run without importing the package."""
    return types.SimpleNamespace(**runpy.run_path(os.path.join(HERE, "kestrel", "_where.py")))


def find_library():
    named = os.environ.get("KESTREL_LIBRARY")
    if named:
        if not os.path.isfile(named):
            raise SystemExit(f"KESTREL_LIBRARY names {named}, which is no file")
        return os.path.abspath(named)
    where = _where()
    candidates = where.beside(os.path.join(HERE, "kestrel"))
    from_pkg_config = where.installed()
    if from_pkg_config:
        candidates.append(from_pkg_config)
    for path in candidates:
        if os.path.isfile(path):
            return os.path.abspath(path)
    raise SystemExit(f"{where.NAME} not found (tried {', '.join(candidates)}): build Kestrel first"
                     " (scripts/setup.sh), or install it (cmake --install), or name the library with"
                     " KESTREL_LIBRARY=/path/to/libkestrel.so while installing")


class BuildWithLibrary(build_py):
    """Writes kestrel/_installed.py beside the package's modules."""

    def run(self):
        super().run()
        library = find_library()
        target = os.path.join(self.build_lib, "kestrel", "_installed.py")
        with open(target, "w", encoding="utf-8") as f:
            f.write('"""Written when the package was installed: the library it uses."""\n\n'
                    f"LIBRARY = {library!r}\n")
        print(f"kestrel: using {library}")


# What a build writes goes to a folder of its own, not into the sources.
_scratch = tempfile.mkdtemp(prefix="kestrel-build-")
atexit.register(shutil.rmtree, _scratch, True)

setup(cmdclass={"build_py": BuildWithLibrary},
      options={"build": {"build_base": os.path.join(_scratch, "build")}, "egg_info": {"egg_base": _scratch}})
