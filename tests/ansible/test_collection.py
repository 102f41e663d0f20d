#!/usr/bin/python3
"""The Ansible collection (ansible/) run by Debian's own ansible-core, with
connection: local, against modules played by tools/ftpserver.py on a LAN of
the test's own: a veth pair in a network namespace of the test's own (see
CMakeLists.txt), 192.0.2.1/24 on one end with two modules at .10 and .11,
nothing on the other end, so that .12 is a module switched off. Each server
logs the commands it receives, which tells what was sent.

What is tested is the collection's own: its options turned into the console
tool's arguments, its results, check and diff modes, its failures. How the
tool itself reads, writes and keeps files is tst_cli's.

Usage: test_collection.py QVTPX0XTWEAKER_CLI SOURCE_DIR
"""
import json
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

CLI, SOURCE_DIR = sys.argv[1], sys.argv[2]
OLD_FILE = b"[global]\n#kept as the module had it\narm=1\nblighlvl=33\n"
MODULES = ("192.0.2.10", "192.0.2.11")
SWITCHED_OFF = "192.0.2.12"


def ip(*arguments):
    subprocess.run(("ip",) + arguments, check=True)


class Collection(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        if os.environ.get("QVTPX_ISOLATED") != "1":
            raise unittest.SkipTest("needs a network namespace of its own: run it through ctest")
        ip("link", "add", "qvtpx-lan", "type", "veth", "peer", "name", "qvtpx-nobody")
        for address in ("192.0.2.1",) + MODULES:
            ip("addr", "add", address + "/24", "dev", "qvtpx-lan")
        # Who does not answer the LAN's "who has it?" once within 0.2 s is
        # unreachable, and not after the kernel's 3 s.
        for name, value in (("mcast_solicit", "1"), ("retrans_time_ms", "200")):
            with open("/proc/sys/net/ipv4/neigh/qvtpx-lan/" + name, "w") as setting:
                setting.write(value)
        ip("link", "set", "qvtpx-lan", "up")
        ip("link", "set", "qvtpx-nobody", "up")
        cls.work = tempfile.mkdtemp()
        cls.servers = []
        for address in MODULES:
            root = os.path.join(cls.work, address)
            os.mkdir(root)
            server = subprocess.Popen(
                [os.path.join(SOURCE_DIR, "tools", "ftpserver.py"), root, "--address", address,
                 "--log", os.path.join(cls.work, address + ".log")], stdout=subprocess.PIPE, text=True)
            cls.servers.append(server)
            if server.stdout.readline().strip() != "ready":
                raise RuntimeError("the module at %s did not start" % address)
        with open(os.path.join(cls.work, "hosts"), "w") as hosts:
            hosts.write("site ansible_connection=local ansible_python_interpreter=/usr/bin/python3\n")
        # Ansible's own files go to the test's folder, not to the user's home.
        cls.environment = dict(os.environ, HOME=cls.work, ANSIBLE_NOCOLOR="1",
                               ANSIBLE_COLLECTIONS_PATH=os.path.join(SOURCE_DIR, "ansible"),
                               PATH=os.path.dirname(CLI) + os.pathsep + os.environ["PATH"])

    @classmethod
    def tearDownClass(cls):
        for server in cls.servers:
            server.kill()
            server.wait()
        shutil.rmtree(cls.work)

    def setUp(self):
        for address in MODULES:
            with open(self.module_file(address), "wb") as held:
                held.write(OLD_FILE)
            open(self.log(address), "w").close()

    def module_file(self, address):
        return os.path.join(self.work, address, "vtpx_domo")

    def log(self, address):
        return os.path.join(self.work, address + ".log")

    def commands(self, address):
        with open(self.log(address)) as log:
            return log.read().split()

    def play(self, tasks, *options):
        """Runs these tasks on the site; returns the last one's result (as
        Ansible's tree callback keeps it) and what the user sees."""
        with open(os.path.join(self.work, "play.yml"), "w") as playbook:
            json.dump([{"hosts": "site", "gather_facts": False, "tasks": tasks}], playbook)
        results = os.path.join(self.work, "results")
        shutil.rmtree(results, ignore_errors=True)
        done = subprocess.run(
            ["ansible-playbook", "-i", os.path.join(self.work, "hosts"), os.path.join(self.work, "play.yml")]
            + list(options), env=dict(self.environment, ANSIBLE_CALLBACKS_ENABLED="ansible.builtin.tree",
                                      ANSIBLE_CALLBACK_TREE_DIR=results),
            capture_output=True, text=True)
        self.assertTrue(os.path.exists(os.path.join(results, "site")), done.stdout + done.stderr)
        with open(os.path.join(results, "site")) as result:
            return json.load(result), done.stdout

    def test_settings_twice(self):
        task = {"quorvella.vtpx.vtpx_settings": {"addresses": list(MODULES), "settings": {"arm": 3}}}
        second, shown = self.play([task, task])
        self.assertIn("ok=2    changed=1 ", shown)
        self.assertEqual([entry["result"] for entry in second["modules"]], ["unchanged", "unchanged"])
        for address in MODULES:
            self.assertEqual(self.commands(address).count("STOR"), 1)

    def test_check_and_diff(self):
        task = {"quorvella.vtpx.vtpx_settings": {"addresses": [MODULES[0]], "settings": {"arm": 3, "blighlvl": 33}}}
        _, shown = self.play([task], "--check", "--diff")
        self.assertIn("changed: [site]", shown)
        self.assertIn("--- before: 192.0.2.10\n+++ after: 192.0.2.10\n", shown)
        self.assertIn("\n-arm: 1\n+arm: 3\n", shown)
        self.assertNotIn("STOR", self.commands(MODULES[0]))

    def test_module_switched_off(self):
        task = {"quorvella.vtpx.vtpx_settings": {"addresses": [MODULES[0], SWITCHED_OFF],
                                                 "settings": {"arm": 3}}}
        result, shown = self.play([task])
        self.assertIn("failed=1", shown)
        self.assertEqual(result["msg"], "1 of 2 modules failed: 192.0.2.12: Reading it before the write: "
                                        "The module does not answer on the LAN (Host unreachable)")
        self.assertEqual(result["written"], [MODULES[0]])
        self.assertEqual(result["failed_modules"], [SWITCHED_OFF])
        self.assertIn("STOR", self.commands(MODULES[0]))

    def test_value_out_of_range_sends_nothing(self):
        task = {"quorvella.vtpx.vtpx_settings": {"addresses": [MODULES[0]], "settings": {"arm": 9}}}
        result, _ = self.play([task])
        self.assertEqual(result["msg"], 'qvtpx0xtweaker-cli: --set arm=9: arm must be a whole number from 0 '
                                        'to 3, not "9"')
        self.assertEqual(self.commands(MODULES[0]), [])

    def test_backup_then_restore(self):
        folder = os.path.join(self.work, "kept")
        restored, _ = self.play([
            {"quorvella.vtpx.vtpx_settings": {"addresses": list(MODULES), "settings": {"arm": 2}, "backup": folder}},
            {"quorvella.vtpx.vtpx_restore": {"folder": folder, "addresses": [MODULES[1]]}}])
        for address in MODULES:
            self.assertIn("STOR", self.commands(address))
            with open(os.path.join(folder, address + ".vtpx_domo"), "rb") as kept:
                self.assertEqual(kept.read(), OLD_FILE)
        self.assertTrue(restored["changed"])
        self.assertEqual(restored["restored"], [MODULES[1]])
        with open(self.module_file(MODULES[1]), "rb") as held:
            self.assertEqual(held.read(), OLD_FILE)

    def test_find(self):
        result, _ = self.play([{"quorvella.vtpx.vtpx_find": {}}], "--check")
        self.assertFalse(result["changed"])
        self.assertEqual(result["modules"], list(MODULES))

    def test_console_tool_missing_or_too_old(self):
        too_old = os.path.join(self.work, "too-old")
        with open(too_old, "w") as script:
            script.write("#!/bin/sh\necho 'qvtpx0xtweaker-cli 0.9'\n")
        os.chmod(too_old, 0o755)
        missing = os.path.join(self.work, "missing")
        tries = [{"environment": {"PATH": "/usr/bin:/bin"}}, {"executable": missing}, {"executable": too_old}]
        tasks = [dict({"quorvella.vtpx.vtpx_find": {"executable": each.get("executable")},
                       "environment": each.get("environment", {}), "register": "try%d" % number,
                       "ignore_errors": True}) for number, each in enumerate(tries)]
        told, _ = self.play(tasks + [{"debug": {"msg": "{{ [try0.msg, try1.msg, try2.msg] }}"}}])
        hint = "install the package qvtpx0xtweaker 1.0 or later on this host"
        self.assertEqual(told["msg"], ["qvtpx0xtweaker-cli is not on this host: " + hint,
                                       missing + " is not a program on this host: " + hint,
                                       too_old + " is version 0.9, too old: " + hint])


class Documentation(unittest.TestCase):
    """What ansible-doc shows of each module, and the collection's tarball."""

    def setUp(self):
        self.work = tempfile.mkdtemp()
        self.environment = dict(os.environ, HOME=self.work,
                                ANSIBLE_COLLECTIONS_PATH=os.path.join(SOURCE_DIR, "ansible"))

    def tearDown(self):
        shutil.rmtree(self.work)

    def test_each_module_renders(self):
        names = ["quorvella.vtpx." + name for name in ("vtpx_settings", "vtpx_find", "vtpx_restore")]
        done = subprocess.run(["ansible-doc"] + names, capture_output=True, text=True, env=self.environment)
        self.assertEqual(done.returncode, 0, done.stderr)
        for name in names:
            self.assertIn("> " + name.upper() + " ", done.stdout)

    def test_tarball_builds(self):
        done = subprocess.run(
            ["ansible-galaxy", "collection", "build", "--output-path", self.work,
             os.path.join(SOURCE_DIR, "ansible", "ansible_collections", "quorvella", "vtpx")],
            capture_output=True, text=True, env=self.environment)
        self.assertEqual(done.returncode, 0, done.stderr)
        self.assertTrue(os.path.exists(os.path.join(self.work, "quorvella-vtpx-1.0.0.tar.gz")), done.stdout)


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)
