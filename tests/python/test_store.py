"""kestrel.Store and kestrel.Pack on the demo chain (10 > 20 > 30): what a
store holds read back as ints and dataclasses, a pack exported and read,
imports renumbered there and back, replacing only with consent, each failure
raised as its class with its number, and the mistakes a caller makes (a
misspelt attribute, a number as text) refused. The stores' rows are checked
with Python's own sqlite3."""

import os
import shutil
import sqlite3
import unittest
import unittest.mock

import kestrel
from kestrel.component import Export, Import
from support import Folder, rows, run

RULE_TABLES = ["qzmap110", "qzmap120", "qzmap125", "qzmap130", "qzmap135", "qzmap140", "qzmap145", "qzmap160",
               "qzmap165", "qzmap170", "qzmap175"]


def stored_chain(store):
    """Each profile of a store as (number, parent, depth, VRC, rules by table)
    read with sqlite3."""
    out = []
    for number, version, release, customer in rows(store, "SELECT mprf, vers, rele, cust FROM qzmap100 ORDER BY mprf"):
        parent = rows(store, "SELECT pprf FROM qzmap101 WHERE mprf = ? AND levl = 2", number)
        depth = rows(store, "SELECT max(levl) FROM qzmap101 WHERE mprf = ?", number)[0][0] or 1
        rules = {t: n for t in RULE_TABLES for (n,) in rows(store, f"SELECT count(*) FROM {t} WHERE mprf = ?", number)
                 if n}
        out.append((number, parent[0][0] if parent else 0, depth, (version, release, customer), rules))
    return out


def as_read(profiles):
    return [(p.number, p.parent, p.depth, (p.vrc.version, p.vrc.release, p.vrc.customer), p.rules) for p in profiles]


class StoreTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.dir = Folder("kestrel-store-")
        with kestrel.Store(cls.dir.demo) as store:
            cls.pack = store.export(30, cls.dir.folder("packs"), revisions=True)

    @classmethod
    def tearDownClass(cls):
        cls.dir.remove()

    def imported(self, name, **options):
        """A store holding the chain, imported with `options`."""
        path = self.dir.empty_store(name)
        with kestrel.Store(path) as store:
            store.import_pack(self.pack, registry=self.dir.registry, **options)
        return path

    def test_profiles_and_counts_read_as_the_store_holds_them(self):
        with kestrel.Store(self.dir.demo) as store:
            profiles = store.profiles()
            counts = store.counts()
        self.assertEqual(as_read(profiles), stored_chain(self.dir.demo))
        for p in profiles:
            with self.subTest(profile=p.number):
                self.assertIs(type(p.number), int)
                self.assertIs(type(p.parent), int)
                self.assertEqual((p.source_application, p.target_application), ("ACC10", "ACCX2"))
        for table, n in counts.items():
            with self.subTest(table=table):
                self.assertEqual(rows(self.dir.demo, f"SELECT count(*) FROM {table}"), [(n,)])
        self.assertEqual(list(counts)[:3], ["qzmap100", "qzmap101", "qzmap105"])

    def test_a_store_opened_by_its_name(self):
        stores = self.dir.join("stores.ini")
        with open(stores, "w") as f:
            f.write(f"demo = {self.dir.demo}\n")
        with unittest.mock.patch.dict(os.environ, {"KESTREL_STORES": stores}):
            with kestrel.Store("demo") as store:
                self.assertEqual(as_read(store.profiles()), stored_chain(self.dir.demo))

    def test_pack_read_as_exported(self):
        pack = kestrel.Pack(os.fspath(self.pack))
        self.assertTrue(pack.export_succeeded and pack.revisions and pack.has_sums)
        # The chain with ints for numbers, parents and depths, as the store has it.
        self.assertEqual(sorted((p.number, p.parent, p.depth) for p in pack.profiles),
                         sorted((n, parent, depth) for n, parent, depth, _, _ in stored_chain(self.dir.demo)))
        files = {f.name: f for f in pack.files}
        for name, written in self.pack.written.rows.items():
            with self.subTest(name):
                self.assertTrue(files[name].sum_matches)
                self.assertEqual(files[name].rows, written)
        # A pack read says nothing of an export.
        self.assertIsNone(pack.written)

    def test_renumbered_there_and_back(self):
        cases = [
            ("the grandchild", {30: 40}),
            ("the whole chain", {10: 110, 20: 120, 30: 130}),
            ("none", {}),
        ]
        original = stored_chain(self.dir.demo)
        for what, renumber in cases:
            with self.subTest(what):
                name = what.replace(" ", "-")
                there_path = self.imported(f"there-{name}.db", renumber=renumber)
                there = stored_chain(there_path)
                self.assertEqual([(n, p, d, v) for n, p, d, v, _ in there],
                                 sorted((renumber.get(n, n), renumber.get(p, p), d, v) for n, p, d, v, _ in original))
                # Exported from there and imported with the map reversed: the
                # demo's numbers again, with the rules the first import wrote.
                with kestrel.Store(there_path) as store:
                    pack = store.export(renumber.get(30, 30), self.dir.folder(f"back-{name}"), revisions=True)
                self.assertEqual(sorted(p.number for p in pack.profiles), [n for n, *_ in there])
                back = self.dir.empty_store(f"back-{name}.db")
                with kestrel.Store(back) as store:
                    report = store.import_pack(pack, renumber={b: a for a, b in renumber.items()},
                                               registry=self.dir.registry)
                self.assertEqual(sorted(t.profile for t in report.targets), [10, 20, 30])
                unmap = {b: a for a, b in renumber.items()}
                self.assertEqual(stored_chain(back),
                                 sorted((unmap.get(n, n), unmap.get(p, p), d, v, r) for n, p, d, v, r in there))

    def test_replacing_needs_consent(self):
        store_path = self.imported("replace.db", renumber={30: 40})
        count = "SELECT count(*) FROM qzmap120 WHERE mprf = 40"
        imported = rows(store_path, count)
        # A rule lost since: only a committed replacing import writes it back.
        with sqlite3.connect(store_path) as db:
            db.execute("DELETE FROM qzmap120 WHERE rowid = (SELECT max(rowid) FROM qzmap120 WHERE mprf = 40)")
        replacing = ["profile 10", "profile 20", "profile 40", "application ACC10", "application ACCX2"]
        cases = [
            # replace, dry_run, refused, committed
            (False, False, True, False),
            (False, True, False, False),  # a dry run deletes nothing for good
            (True, True, False, False),
            (True, False, False, True),
        ]
        with kestrel.Store(store_path) as store:
            self.assertEqual(store.would_replace(self.pack, renumber={30: 40}, registry=self.dir.registry), replacing)
            for replace, dry_run, refused, committed in cases:
                with self.subTest(replace=replace, dry_run=dry_run):
                    call = lambda: store.import_pack(self.pack, renumber={30: 40}, replace=replace, dry_run=dry_run,
                                                     registry=self.dir.registry)
                    if refused:
                        with self.assertRaises(kestrel.ReplaceRefused) as caught:
                            call()
                        self.assertEqual((caught.exception.number, caught.exception.replacing), (9030, replacing))
                        self.assertIn("replace=True", str(caught.exception))
                        self.assertNotIn("--replace", str(caught.exception))
                    else:
                        report = call()
                        self.assertEqual((report.committed, sorted(report.profiles_replaced)), (committed, [10, 20, 40]))
                    self.assertEqual(rows(store_path, count)[0][0], imported[0][0] - (not committed))

    def test_batch_path_finds_the_bulk_loader_without_a_variable(self):
        # An installation whose imports run batch files of bcp lines: the
        # library finds bcp beside itself, not beside the Python interpreter.
        install = self.dir.join("batch-install")
        registry = self.dir.join("batch-registry.ini")
        run("setup", "--install-dir", install, "--registry", registry)
        with open(os.path.join(install, "LumoStudio", "bin", "LumoConfig.ini"), "w") as f:
            f.write("[Settings]\r\nIIS=5\r\n")
        target = self.dir.empty_store("batch.db")
        with unittest.mock.patch.dict(os.environ), kestrel.Store(target) as store:
            os.environ.pop("KESTREL_BCP", None)
            report = store.import_pack(self.pack, registry=registry)
        self.assertTrue(report.committed)
        for table in ("qzddi150", "qzlgy141"):
            with self.subTest(table):
                self.assertEqual(report.rows[table].added, rows(self.dir.demo, f"SELECT count(*) FROM {table}")[0][0])
                self.assertEqual(rows(target, f"SELECT count(*) FROM {table}"), rows(self.dir.demo,
                                                                                      f"SELECT count(*) FROM {table}"))

    def test_export_twice_writes_beside_not_inside(self):
        root = self.dir.folder("twice")
        with kestrel.Store(self.dir.demo) as store:
            first = store.export(30, root)
            with self.assertRaises(kestrel.PackExists) as caught:
                store.export(30, root)
            self.assertIn("overwrite=True", str(caught.exception))
            again = store.export(30, root, overwrite=True)
            other = store.export(20, root)
        self.assertEqual(again.path, first.path)
        self.assertEqual(os.path.dirname(other.path), os.path.dirname(first.path))
        self.assertFalse(os.path.exists(os.path.join(first, "ExportedRules")))

    def test_failures_raised_as_their_class(self):
        def with_store(call, path=None):
            with kestrel.Store(path or self.dir.demo) as store:
                return call(store)

        def closed():
            store = kestrel.Store(self.dir.demo)
            store.close()
            store.profiles()

        def locked():
            # Another program holds the store's write lock longer than the import waits.
            target = self.dir.empty_store("locked.db")
            with sqlite3.connect(target, isolation_level=None) as db:
                db.execute("BEGIN IMMEDIATE")
                try:
                    with_store(lambda s: s.import_pack(self.pack, wait=1, registry=self.dir.registry), target)
                finally:
                    db.execute("ROLLBACK")

        def unsummed():
            copy = self.dir.join("unsummed")
            if not os.path.exists(copy):
                shutil.copytree(self.pack, copy)
                os.remove(os.path.join(copy, "ExportMR.sums"))
            return copy

        # The grandchild numbered as its parent, below the root.
        taken = lambda s: [kestrel.Target(20, t.source_application, t.target_application, 10)
                           if t.profile == 30 else t for t in s.propose(self.pack)]
        plain = self.dir.join("plain.db")
        sqlite3.connect(plain).close()
        cases = [
            ("a missing store", lambda: kestrel.Store(self.dir.join("none.db")), kestrel.NotFound, 53, "none.db"),
            ("a pack not there", lambda: kestrel.Pack(self.dir.join("none")), kestrel.NotFound, 76, "none"),
            ("a pack without sums", lambda: kestrel.Pack(unsummed()), kestrel.PackError, 9053, "ExportMR.sums"),
            ("a profile the store lacks", lambda: with_store(lambda s: s.export(77, self.dir.path)),
             kestrel.ProfileNotFound, 2, "77"),
            ("a file that is no profile store", lambda: with_store(lambda s: s.profiles(), plain), kestrel.StoreError,
             None, "qzmap100"),
            ("a closed store", closed, kestrel.StoreError, 91, "closed"),
            ("a renumbering to 0", lambda: with_store(lambda s: s.verify(self.pack, renumber={30: 0})),
             kestrel.InvalidArgument, 5, "renumber 1 to"),
            ("a wait beyond 32 bits", lambda: kestrel.Store(self.dir.demo, wait=2 ** 31), kestrel.InvalidArgument, 6,
             "wait_seconds"),
            ("a store with a NUL", lambda: kestrel.Store(self.dir.demo + "\0/etc/passwd"), kestrel.InvalidArgument,
             9070, "store"),
            ("a number used twice", lambda: with_store(lambda s: s.import_pack(
                self.pack, targets=taken(s), registry=self.dir.registry), self.dir.empty_store("twice.db")),
             kestrel.SelectionError, 501, ""),
            ("no installation recorded", lambda: with_store(lambda s: s.import_pack(self.pack, replace=True)), kestrel.NotInstalled, 505,
             "installation"),
            ("a store held by another program", locked, kestrel.LockTimeout, 9031, "locked.db"),
        ]
        for what, call, cls, number, text in cases:
            with self.subTest(what):
                with self.assertRaises(cls) as caught:
                    call()
                self.assertIsInstance(caught.exception, kestrel.KestrelError)
                if number is not None:
                    self.assertEqual(caught.exception.number, number, caught.exception.text)
                self.assertIn(text, caught.exception.text)
        # What a caller's own code already catches.
        self.assertTrue(issubclass(kestrel.InvalidArgument, ValueError))
        self.assertTrue(issubclass(kestrel.LockTimeout, kestrel.StoreError))

    def test_mistakes_of_a_caller_are_refused(self):
        store = kestrel.Store(self.dir.demo)
        self.addCleanup(store.close)
        target = store.propose(self.pack)[0]
        with unittest.mock.patch.dict(os.environ, {"KESTREL_REGISTRY": self.dir.registry}):
            export, importer = Export(), Import()
        self.addCleanup(export.close)
        self.addCleanup(importer.close)
        misspelt = [
            ("a store", store, "replce"),
            ("a pack", self.pack, "profile"),
            ("a target", target, "profle"),
            ("a component export", export, "MigrationProfileTobeExportd"),
            ("a component import", importer, "Pth"),
        ]
        for what, obj, name in misspelt:
            with self.subTest(what):
                with self.assertRaises(AttributeError):
                    setattr(obj, name, 40)
        wrong_types = [
            ("a number as text", lambda: store.export("30", self.dir.path)),
            ("a target numbered as text", lambda: store.verify(self.pack, targets=[
                kestrel.Target("40", "ACC10", "ACCX2")])),
            ("renumbering as text", lambda: store.verify(self.pack, renumber={"30": "40"})),
            ("renumbering as pairs", lambda: store.verify(self.pack, renumber=[(30, 40)])),
            ("consent as text", lambda: store.import_pack(self.pack, replace="yes")),
        ]
        for what, call in wrong_types:
            with self.subTest(what):
                with self.assertRaises(TypeError):
                    call()


if __name__ == "__main__":
    unittest.main()
