"""What the Python tests share: the kestrel program that makes their stores
(KESTREL_PROGRAM, set by ctest to the one built), and reading a store's rows
with Python's own sqlite3, apart from the library under test."""

import os
import shutil
import sqlite3
import subprocess
import tempfile

PROGRAM = os.environ.get("KESTREL_PROGRAM", "kestrel")


def run(*args):
    subprocess.run([PROGRAM, *args], check=True, stdout=subprocess.DEVNULL)


def rows(store, sql, *params):
    with sqlite3.connect(store) as db:
        return db.execute(sql, params).fetchall()


class Folder:
    """A temporary folder with the demo store and an installation recorded
    in a registry file of its own (`registry`)."""

    def __init__(self, prefix):
        self.path = tempfile.mkdtemp(prefix=prefix)
        self.demo = self.join("demo.db")
        run("demo-store", self.demo)
        self.registry = self.join("registry.ini")
        run("setup", "--install-dir", self.join("install"), "--registry", self.registry)

    def join(self, *names):
        return os.path.join(self.path, *names)

    def folder(self, name):
        path = self.join(name)
        os.makedirs(path)
        return path

    def empty_store(self, name):
        """A store with the demo's shared data and no profiles."""
        path = self.join(name)
        run("init-store", path, "--shared-from", self.demo)
        return path

    def remove(self):
        shutil.rmtree(self.path)
