"""`pip install ./python` into a fresh virtual environment, then kestrel used
from there with no variable set: the installed package finds the library it
recorded. And the sources' package on PYTHONPATH alone, which finds the
build beside it (when the library tested is that build). Offline: the environment sees the system's setuptools and wheel
(--system-site-packages), and pip neither builds in isolation nor asks an
index. Exits 77 (skipped) when no interpreter here has venv, setuptools and
wheel.

Usage: install_test.py LIBKESTREL KESTREL_PROGRAM SOURCE_FOLDER"""

import os
import shutil
import subprocess
import sys
import tempfile

SKIPPED = 77
NEEDED = "import venv, ensurepip, setuptools, wheel"


def interpreter():
    """The first python3 that can make a venv and build a wheel offline."""
    seen = set()
    for python in (sys.executable, shutil.which("python3"), "/usr/bin/python3"):
        if not python or python in seen or not os.path.exists(python):
            continue
        seen.add(python)
        if subprocess.run([python, "-c", NEEDED], capture_output=True).returncode == 0:
            return python
    return None


def clean_environment():
    """The environment without anything that names the library or the package."""
    return {k: v for k, v in os.environ.items() if not k.startswith("KESTREL_") and k != "PYTHONPATH"}


def run(args, **kw):
    done = subprocess.run(args, capture_output=True, text=True, **kw)
    if done.returncode != 0:
        sys.exit(f"failed: {' '.join(args)}\n{done.stdout}{done.stderr}")
    return done.stdout


def main():
    library, program, sources = (os.path.abspath(a) for a in sys.argv[1:4])
    python = interpreter()
    if python is None:
        print(f"skipped: no python3 here has what an offline install needs ({NEEDED}); "
              "Debian's python3-venv, python3-setuptools and python3-wheel provide it")
        return SKIPPED
    work = tempfile.mkdtemp(prefix="kestrel-install-")
    try:
        venv = os.path.join(work, "venv")
        run([python, "-m", "venv", "--system-site-packages", venv])
        env = clean_environment()
        # A build elsewhere than the one the package looks beside is named
        # while installing (only then): what is tested is that the package
        # needs nothing at run time.
        default = os.path.join(sources, "build", "release", "libkestrel.so")
        in_default_build = os.path.realpath(default) == os.path.realpath(library)
        install_env = dict(env) if in_default_build else dict(env, KESTREL_LIBRARY=library)
        run([os.path.join(venv, "bin", "pip"), "install", "--no-index", "--no-build-isolation", "--quiet",
             os.path.join(sources, "python")], env=install_env, cwd=work)
        run([program, "demo-store", os.path.join(work, "demo.db")])
        out = run([os.path.join(venv, "bin", "python"), "-c",
                   "import kestrel; print(kestrel.Store('demo.db').profiles())"], env=env, cwd=work)
        if "Profile(number=30," not in out or "parent=20" not in out:
            sys.exit(f"the installed package listed other profiles than the demo chain:\n{out}")
        where = run([os.path.join(venv, "bin", "python"), "-c",
                     "import os, kestrel, kestrel.component, kestrel._installed as i;"
                     " print(kestrel.__file__); print(i.LIBRARY);"
                     " print(os.path.exists(os.path.join(os.path.dirname(kestrel.__file__), 'py.typed')))"],
                    env=env, cwd=work).split("\n")
        if not where[0].startswith(venv) or os.path.realpath(where[1]) != os.path.realpath(library) or where[2] != "True":
            sys.exit(f"installed as {where[0]} with the library {where[1]} (py.typed: {where[2]}), "
                     f"not in {venv} with {library}")
        print(f"installed with {python} into {venv}; it uses {where[1]}")
        if in_default_build:
            out = run([sys.executable, "-c", "import kestrel, kestrel._library as L;"
                       " print(len(kestrel.Store('demo.db').profiles()), L.library()._name)"],
                      env=dict(env, PYTHONPATH=os.path.join(sources, "python")), cwd=work)
            if out.split() != ["3", os.path.normpath(default)]:
                sys.exit(f"the sources' package on PYTHONPATH read {out!r}, not the demo's 3 profiles with {default}")
            print("the sources' package on PYTHONPATH uses the build beside it")
        return 0
    finally:
        shutil.rmtree(work)


if __name__ == "__main__":
    sys.exit(main())
