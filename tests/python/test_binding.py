"""The Python binding end to end: the demo chain exported, its details read,
one target number changed, verified and imported into a second store, and
that store's rows checked; a second export on the same object after the
first pack is gone; the failures a host sees. The same with the typed calls
(TypedTest): export, read_pack, propose, verify, check, import_pack, and
their failures with number, text and place. ctest runs it with
KESTREL_LIBRARY (the built libkestrel.so), KESTREL_PROGRAM (the built
kestrel, which makes the stores) and KESTREL_BCP set."""

import dataclasses
import os
import shutil
import sqlite3
import subprocess
import tempfile
import unittest

import kestrel

PROGRAM = os.environ.get("KESTREL_PROGRAM", "kestrel")


def run(*args):
    subprocess.run([PROGRAM, *args], check=True, stdout=subprocess.DEVNULL)


def rows(store, sql, *params):
    with sqlite3.connect(store) as db:
        return db.execute(sql, params).fetchall()


class BindingTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.dir = tempfile.mkdtemp(prefix="kestrel-binding-")
        cls.demo = os.path.join(cls.dir, "demo.db")
        run("demo-store", cls.demo)
        registry = os.path.join(cls.dir, "registry.ini")
        run("setup", "--install-dir", os.path.join(cls.dir, "install"), "--registry", registry)
        os.environ["KESTREL_REGISTRY"] = registry

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.dir)

    def folder(self, name):
        path = os.path.join(self.dir, name)
        os.makedirs(path)
        return path

    def export_chain(self, store, root):
        with kestrel.Export(store=store) as export:
            export.MigrationProfileTobeExported = 30
            export.ExportRevisionInformation = True
            export.Path = root
            return export.export()

    def test_chain_exported_renumbered_verified_and_imported(self):
        pack = self.export_chain(self.demo, self.folder("packs"))
        self.assertTrue(pack.startswith(os.path.join(self.dir, "packs", "ExportedRules", "30-")), pack)
        second = os.path.join(self.dir, "second.db")
        run("init-store", second, "--shared-from", self.demo)

        target = kestrel.Import(store=second)
        target.Path = pack
        self.assertEqual(target.Path, pack)
        # Bytes that are no UTF-8 come back as they went.
        target.LastModifiedUser = b"m\xfcller"
        self.assertEqual(target.LastModifiedUser.encode("utf-8", "surrogateescape"), b"m\xfcller")
        details = target.details()
        chain = rows(self.demo, "SELECT mprf, pprf FROM qzmap101 WHERE mprf = 30 ORDER BY levl")
        chain_numbers = {str(p) for _, p in chain}
        self.assertEqual({e.profile for e in details.sources}, chain_numbers)
        # The second store holds none of them: the proposal keeps the numbers, unmarked.
        self.assertEqual(sorted(e.profile for e in details.targets), sorted(chain_numbers))
        for source, proposed in zip(details.sources, details.targets):
            self.assertEqual(
                (proposed.source_application, proposed.target_application),
                (source.source_application, source.target_application))

        grandchild = next(e for e in details.targets if e.profile == "30")
        parent = grandchild.parent.rstrip("*")
        # A number the chain already uses is refused, with a message saying so...
        grandchild.profile = parent
        refused = target.verify(details)
        self.assertFalse(refused.passed)
        self.assertTrue(refused.messages, "a refusal says why")
        # ...and a free one passes.
        grandchild.profile = "930"
        verified = target.verify(details)
        self.assertTrue(verified.passed, verified.messages)
        self.assertIn("930", [e.profile for e in verified.details.targets])

        target.import_pack(details)
        target.close()

        stored = dict(rows(second, "SELECT mprf, sapp || '>' || tapp FROM qzmap100"))
        self.assertEqual(set(stored), {int(n) for n in chain_numbers - {"30"}} | {930})
        source_profile = dict(rows(self.demo, "SELECT mprf, sapp || '>' || tapp FROM qzmap100 WHERE mprf = 30"))
        self.assertEqual(stored[930], source_profile[30])
        # The renumbered profile keeps its rules and its parent.
        rule_tables = ["qzmap120", "qzmap130", "qzmap140"]
        for table in rule_tables:
            with self.subTest(table=table):
                self.assertEqual(rows(second, f"SELECT count(*) FROM {table} WHERE mprf = 930"),
                                 rows(self.demo, f"SELECT count(*) FROM {table} WHERE mprf = 30"))
        self.assertEqual(rows(second, "SELECT pprf FROM qzmap101 WHERE mprf = 930 AND levl = 2"),
                         rows(self.demo, "SELECT pprf FROM qzmap101 WHERE mprf = 30 AND levl = 2"))
        self.assertEqual(rows(second, "SELECT count(*) FROM qzmap100 WHERE mprf = 30"), [(0,)])

    def test_second_export_on_one_object_after_the_first_pack_is_gone(self):
        # A single-profile pack writes a manifest line per mapping object: at
        # this scale its text passes the size at which it waits in a spool file.
        big = os.path.join(self.dir, "big.db")
        run("demo-store", big, "--scale", "80")
        root = self.folder("again")
        with kestrel.Export(store=big) as export:
            export.MigrationProfileTobeExported = 30
            export.ExportToSingleProfile = True
            export.traveseparent = True
            self.assertTrue(export.traveseparent)
            export.Path = root
            pack = export.export()
            with open(os.path.join(pack, "ExportMR.log"), "rb") as f:
                first = f.read()
            self.assertGreater(len(first), 64 * 1024, "the manifest was not large enough to be spooled")
            shutil.rmtree(pack)
            export.Path = root
            self.assertEqual(export.export(), pack)
            with open(os.path.join(pack, "ExportMR.log"), "rb") as f:
                second = f.read()
        # The object carries the first manifest's text into the second.
        self.assertIn(first, second)
        self.assertFalse(os.path.exists(os.path.join(pack, "ExportMR.log.spool")))

    def test_failures_carry_their_number_and_text(self):
        cases = [
            ("a profile the store lacks", lambda: self.export_profile(77), 2, "PROFILE NUMBER = 77"),
            ("a missing store", lambda: kestrel.Export(store=os.path.join(self.dir, "none.db")), 53, "none.db"),
            ("a number beyond 16 bits", lambda: self.export_profile(40000), 6, "Overflow"),
            ("a pack folder that is not there", self.details_of_missing_pack, 1, "Path Not Found"),
            ("a field holding the separator", self.verify_separator_in_field, 9012, "six fields"),
            ("a pack without its sums", lambda: self.details_without_sums(False), 9053, "ExportMR.sums"),
        ]
        for what, call, number, text in cases:
            with self.subTest(what):
                with self.assertRaises(kestrel.KestrelError) as caught:
                    call()
                self.assertEqual(caught.exception.number, number)
                self.assertIn(text, caught.exception.text)

    def test_texts_holding_a_nul_are_refused_naming_them(self):
        # What a C string would read as another store, path or user.
        cases = [
            ("store", lambda: kestrel.Export(store=self.demo + "\0/etc/passwd"), "store"),
            ("store as bytes", lambda: kestrel.Import(store=os.fsencode(self.demo) + b"\0x"), "store"),
            ("export path", lambda: self.put(kestrel.Export(), "Path", self.dir + "\0/etc"), "Path"),
            ("import path", lambda: self.put(kestrel.Import(), "Path", self.dir + "\0/etc"), "Path"),
            ("user", lambda: self.put(kestrel.Import(), "LastModifiedUser", b"kestrel\0admin"), "LastModifiedUser"),
            ("details", lambda: kestrel.Import(store=self.demo).VerifyUserSelections("10|A|B|0|0|1\0\r10|A|B|0|0|1"),
             "VerifyUserSelections argument 1"),
        ]
        for what, call, named in cases:
            with self.subTest(what):
                with self.assertRaises(kestrel.KestrelError) as caught:
                    call()
                self.assertEqual(caught.exception.number, 9070)
                self.assertIn(named, caught.exception.text)

    def test_numbers_outside_their_range_are_refused_not_wrapped(self):
        values = [2 ** 64, -(2 ** 64), 70000, -1, 0, 32767, 32768]
        with kestrel.Export(store=self.demo) as export, kestrel.Import(store=self.demo) as target:
            # What each number takes; None: taken. 6 beyond its type, 5 outside its range.
            rows = [
                ("MigrationProfileTobeExported", lambda n: self.put(export, "MigrationProfileTobeExported", n),
                 [6, 6, 6, 5, 5, None, 6]),
                ("NewProfileNumber", lambda n: self.put(export, "NewProfileNumber", n), [6, 6, 6, 5, None, None, 6]),
                ("ExportBasedOn", lambda n: self.put(export, "ExportBasedOn", n), [6, 6, 6, 5, None, None, 6]),
                ("OverWrite", lambda n: self.put(export, "OverWrite", n), [6, 6, None, None, None, None, None]),
                ("LockWait", lambda n: self.put(target, "LockWait", n), [6, 6, None, 5, None, None, None]),
                ("GetDepthOfProfile argument 1", lambda n: target.GetDepthOfProfile(n, 0), [6, 6, 5, 5, None, None, 5]),
                ("GetDepthOfProfile argument 2", lambda n: target.GetDepthOfProfile(0, n), [6, 6, 5, 5, None, None, 5]),
                ("GetDevelopmentVRC argument 1", lambda n: target.GetDevelopmentVRC(n), [6, 6, 5, 5, 5, None, 5]),
            ]
            for name, put, wanted in rows:
                for value, want in zip(values, wanted):
                    with self.subTest(name=name, value=value):
                        if want is None:
                            put(value)
                            continue
                        with self.assertRaises(kestrel.KestrelError) as caught:
                            put(value)
                        self.assertEqual(caught.exception.number, want)
                        self.assertIn(name, caught.exception.text)
            # A taken parent is read as given: 32767 is no profile of the store, a root's child.
            self.assertEqual(target.GetDepthOfProfile(0, 32767)[3], 2)

    def test_a_failed_import_always_says_why_in_error_number(self):
        pack = self.export_chain(self.demo, self.folder("unstored"))
        selection = "10|ACC10|ACCX2|0|0|1\r10|ACC10|ACCX2|0|0|1"
        cases = [
            ("no store", None, selection, 91, "Object variable or With block variable not set"),
            ("details that are no details", self.demo, "", 9, "Subscript out of range"),
        ]
        for what, store, details, number, text in cases:
            for method in ("ImportLogicPack", "CheckLogicPack"):
                with self.subTest(what, method=method), kestrel.Import(store=store) as target:
                    target.Path = pack
                    ok, _, message = getattr(target, method)(details)
                    self.assertFalse(ok)
                    self.assertEqual(target.ErrorNumber, number)
                    self.assertIn(text, message)

    def test_no_password_of_a_server_location_is_shown(self):
        # No server listens in this folder: each location fails, named without its password.
        sockets = self.folder("no-server")
        locations = [
            f"postgresql://kestrel:Hunter2Pw@/profiles?host={sockets}",
            f"postgresql:///profiles?host={sockets}&password=Hunter2Pw&sslpassword=Hunter2Key",
            f"host={sockets} password=Hunter2Pw dbname=profiles",
            f"host={sockets} password='Hunter2 Pw' sslpassword='Hunter2Key' dbname=profiles",
        ]
        for location in locations:
            with self.subTest(location):
                with self.assertRaises(kestrel.KestrelError) as caught:
                    kestrel.Export(store=location)
                self.assertIn(sockets, caught.exception.text)
                self.assertIn("***", caught.exception.text)
                self.assertNotIn("Hunter2", caught.exception.text)

    @staticmethod
    def put(obj, name, value):
        setattr(obj, name, value)

    def export_profile(self, number):
        with kestrel.Export(store=self.demo) as export:
            export.MigrationProfileTobeExported = number
            export.Path = self.dir
            return export.export()

    def verify_separator_in_field(self):
        # A number typed with the separator in it makes seven fields.
        entry = kestrel.Entry("930|931", "ACC10", "ACCX2", "20", "0", "1")
        with kestrel.Import(store=self.demo) as target:
            return target.verify(kestrel.Details("30|ACC10|ACCX2|20|0|1\r30|ACC10|ACCX2|20|0|1", [], [entry]))

    def details_without_sums(self, allow):
        pack = self.export_chain(self.demo, self.folder(f"unsummed-{allow}"))
        os.remove(os.path.join(pack, "ExportMR.sums"))
        with kestrel.Import(store=self.demo) as target:
            target.Path = pack
            target.AllowWithoutSums = allow
            return target.details()

    def test_a_pack_without_sums_is_read_only_when_the_host_allows_it(self):
        details = self.details_without_sums(True)
        self.assertEqual(sorted(e.profile for e in details.sources), ["10", "20", "30"])

    def details_of_missing_pack(self):
        with kestrel.Import(store=self.demo) as target:
            target.Path = os.path.join(self.dir, "no-such-pack")
            return target.details()


class TypedTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.dir = tempfile.mkdtemp(prefix="kestrel-typed-")
        cls.demo = os.path.join(cls.dir, "demo.db")
        run("demo-store", cls.demo)
        cls.registry = os.path.join(cls.dir, "registry.ini")
        run("setup", "--install-dir", os.path.join(cls.dir, "install"), "--registry", cls.registry)
        # The requests name the registry: none is recorded where the library looks by default.
        os.environ.pop("KESTREL_REGISTRY", None)
        root = os.path.join(cls.dir, "packs")
        os.makedirs(root)
        with kestrel.Store(cls.demo) as store:
            cls.exported = store.export(kestrel.ExportRequest(30, root=root), revisions=True)
        cls.pack = cls.exported.folder

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.dir)

    def empty_store(self, name):
        path = os.path.join(self.dir, name)
        run("init-store", path, "--shared-from", self.demo)
        return path

    def test_pack_read_as_exported(self):
        self.assertTrue(self.pack.startswith(os.path.join(self.dir, "packs", "ExportedRules", "30-")), self.pack)
        info = kestrel.read_pack(self.pack)
        self.assertTrue(info.export_succeeded and info.revisions and info.has_sums)
        self.assertEqual(info.applications, self.exported.applications)
        # Each profile of the chain with its direct parent (level 2 of its
        # chain), depth and VRC as the store holds them.
        stored = rows(self.demo, "SELECT h.mprf, coalesce((SELECT pprf FROM qzmap101 WHERE mprf = h.mprf AND levl = 2), 0),"
                                 " (SELECT max(levl) FROM qzmap101 WHERE mprf = h.mprf), h.vers FROM qzmap100 h"
                                 " WHERE h.mprf IN (10, 20, 30)")
        self.assertEqual(sorted((p.number, p.parent, p.depth, p.vrc.version) for p in info.profiles), sorted(stored))
        # Every file the export wrote, read back with its rows and sum.
        files = {f.name: f for f in info.files}
        for name in self.exported.files:
            with self.subTest(name):
                self.assertTrue(files[name].sum_matches)
                self.assertEqual(files[name].rows, self.exported.rows.get(name, files[name].rows))
                self.assertGreater(files[name].rows, 0)
        self.assertIsNone(files["ExportMR.sums"].rows)

    def test_chain_verified_and_imported_renumbered(self):
        second = self.empty_store("second.db")
        with kestrel.Store(second) as store:
            proposal = store.propose(self.pack)
            self.assertEqual(sorted(t.profile for t in proposal), [10, 20, 30])
            self.assertFalse(any(t.stored.profile for t in proposal))
            grandchild = next(i for i, t in enumerate(proposal) if t.profile == 30)
            # The grandchild numbered as its parent: one finding, naming its entry.
            taken = [dataclasses.replace(t, profile=t.parent) if i == grandchild else t for i, t in enumerate(proposal)]
            findings = store.verify(self.pack, targets=taken, registry=self.registry)
            self.assertIn((501, grandchild), [(f.number, f.place.entry) for f in findings], findings)
            request = kestrel.ImportRequest(self.pack, renumber={30: 930}, user=b"m\xfcller", registry=self.registry)
            self.assertEqual(store.verify(request), [])
            store.check(request)
            report = store.import_pack(request)
            self.assertTrue(report.committed)
            self.assertEqual(sorted(t.profile for t in report.targets), [10, 20, 930])
            self.assertEqual(report.rows["qzmap100"].added, 3)
            with self.assertRaises(kestrel.KestrelError) as caught:
                store.import_pack(request)
            self.assertEqual(caught.exception.number, 9030)
            again = store.import_pack(request, replace=True, dry_run=True)
            self.assertEqual((again.committed, again.dry_run, sorted(again.profiles_replaced)), (False, True, [10, 20, 930]))
        self.assertEqual(rows(second, "SELECT mprf FROM qzmap100 ORDER BY mprf"), [(10,), (20,), (930,)])
        self.assertEqual(rows(second, "SELECT count(*) FROM qzmap120 WHERE mprf = 930"),
                         rows(self.demo, "SELECT count(*) FROM qzmap120 WHERE mprf = 30"))

    def damaged_pack(self):
        """A copy without sums holding a rule of a profile the pack lacks."""
        copy = os.path.join(self.dir, "damaged")
        if not os.path.exists(copy):
            shutil.copytree(self.pack, copy)
            os.remove(os.path.join(copy, "ExportMR.sums"))
            rules = os.path.join(copy, "Qzmap120.dat")
            with open(rules, "rb") as f:
                data = f.read()
            with open(rules, "wb") as f:
                f.write(data.replace(b":MPRF:30\r\n", b":MPRF:99\r\n", 1))
        return copy

    def test_failures_carry_number_text_and_place(self):
        def with_store(call):
            with kestrel.Store(self.demo) as store:
                return call(store)

        def closed():
            store = kestrel.Store(self.demo)
            store.close()
            store.propose(self.pack)

        rules = kestrel.Place(file="Qzmap120.dat")
        cases = [
            ("a missing store", lambda: kestrel.Store(os.path.join(self.dir, "none.db")), 53, "", None),
            ("a store with a NUL", lambda: kestrel.Store(self.demo + "\0/etc/passwd"), 9070, "store", None),
            ("a wait beyond 32 bits", lambda: kestrel.Store(self.demo, wait=2 ** 31), 6, "wait_seconds", None),
            ("a closed store", closed, 91, "closed", None),
            ("a profile beyond 16 bits", lambda: with_store(lambda s: s.export(profile=40000, root=self.dir)), 5,
             "profile takes 1 to 32767", None),
            ("a profile the store lacks", lambda: with_store(lambda s: s.export(profile=77, root=self.dir)), 2, "77", None),
            ("a renumbering to 0", lambda: with_store(lambda s: s.verify(self.pack, renumber={30: 0}, registry=self.registry)), 5,
             "renumber 1 to", None),
            ("a pack not there", lambda: kestrel.read_pack(os.path.join(self.dir, "none")), 76, "", None),
            ("a pack without sums", lambda: with_store(lambda s: s.check(self.damaged_pack(), registry=self.registry)),
             9053, "ExportMR.sums", None),
            ("a rule of another profile", lambda: with_store(
                lambda s: s.check(self.damaged_pack(), allow_without_sums=True, registry=self.registry)),
             9045, "profile 99", rules),
            # Checks only read and need none; an import writes its work folders there.
            ("no installation recorded", lambda: with_store(lambda s: s.import_pack(self.pack, replace=True)), 505,
             "installation", None),
        ]
        for what, call, number, text, place in cases:
            with self.subTest(what):
                with self.assertRaises(kestrel.KestrelError) as caught:
                    call()
                self.assertEqual(caught.exception.number, number, caught.exception.text)
                self.assertIn(text, caught.exception.text)
                if place:
                    self.assertEqual(caught.exception.place.file, place.file)
                    self.assertGreater(caught.exception.place.line, 0)


if __name__ == "__main__":
    unittest.main()
