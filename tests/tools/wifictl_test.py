#!/usr/bin/env python3
"""Runs the built wifictl as a process. It is linked against the product
library, whose daemon backend finds no adapters, so every answer is that of
an unloaded host.

usage: wifictl_test.py --wifictl PATH [unittest arguments]
"""
import subprocess
import sys
import unittest
import xml.etree.ElementTree as ElementTree

WIFICTL = None

UNLOADED_DOCUMENT = (
    '<wifiHostSettings adapter="Unknown" wifiEnabled="false" currentDaemonState="0" '
    'currentNetwork="" currentNetworkState="0">\n'
    '  <wifiNetworkDatabase numberNetworks="0">\n'
    '  </wifiNetworkDatabase>\n'
    '</wifiHostSettings>\n')

COMMANDS = ["discover", "connect", "disconnect", "roam", "enabled", "status", "adapter",
            "current", "add", "remove", "save", "set", "hash-ca", "xml", "dump"]

SET_KEYS = ["authentication", "bssid", "channel", "clientCertificate", "clientCertificate2",
            "CACertificateFile", "CACertificateDir", "CACertificateFile2", "CACertificateDir2",
            "eapIdentity", "eapAnonymousIdentity", "eapPassword", "encryption", "eap", "index",
            "key1", "key2", "key3", "key4", "key_mgmt", "mode", "phase1", "phase2", "priority",
            "protocol", "psk", "privateKeyFile", "privateKeyFile2", "privateKeyPassword",
            "privateKeyPassword2", "strength", "status", "ssidBroadcasted"]


def wifictl(*args):
    done = subprocess.run([WIFICTL, *args], capture_output=True, timeout=60)
    return (done.returncode, done.stdout.decode("utf-8", "replace"),
            done.stderr.decode("utf-8", "replace"))


class WifictlTest(unittest.TestCase):
    def assertOneLineNaming(self, stderr, *words):
        self.assertEqual(stderr.count("\n"), 1, stderr)
        self.assertTrue(stderr.startswith("wifictl: "), stderr)
        for word in words:
            self.assertIn(word, stderr)

    def test_xml_document_of_the_unloaded_host(self):
        for args in ([], ["--detailed"]):
            with self.subTest(args=args):
                status, out, err = wifictl("xml", *args)
                self.assertEqual((status, err), (0, ""))
                self.assertEqual(out, UNLOADED_DOCUMENT)
                root = ElementTree.fromstring(out)
                self.assertEqual(root.tag, "wifiHostSettings")
                self.assertEqual(root.get("adapter"), "Unknown")
                self.assertEqual(root.get("currentNetwork"), "")
                database = root.find("wifiNetworkDatabase")
                self.assertEqual(database.get("numberNetworks"), "0")
                self.assertEqual(list(database), [])

    def test_dump_prints_the_document_as_text(self):
        status, out, err = wifictl("dump")
        self.assertEqual((status, err), (0, ""))
        self.assertEqual(out,
                         "wifiHostSettings\n"
                         "  adapter             : Unknown\n"
                         "  wifiEnabled         : false\n"
                         "  currentDaemonState  : 0\n"
                         "  currentNetwork      : \n"
                         "  currentNetworkState : 0\n"
                         "  wifiNetworkDatabase\n"
                         "    numberNetworks : 0\n")

    def test_failing_connect_names_what_failed(self):
        status, out, err = wifictl("connect", "office")
        self.assertEqual(status, 1)
        self.assertEqual(out, "")
        self.assertOneLineNaming(err, "connectToNetwork", '"office"', "wlan0")

    def test_every_command_against_the_null_backend(self):
        rows = [
            # arguments, exit status, stdout, words of the one stderr line
            (["status"], 0, "0 UNKNOWN\n", None),
            (["disconnect", "office"], 0, "", None),
            (["remove", "office"], 0, "", None),
            (["save"], 0, "", None),
            (["adapter"], 1, "", ["getWifiAdapter"]),
            (["enabled"], 1, "false\n", ["isWifiEnabled", "wlan0"]),
            (["current"], 1, "", ["getCurrentNetwork", "wlan0"]),
            (["discover"], 1, "", ["discoverNetworks", "wlan0"]),
            (["discover", "--max", "255"], 1, "", ["discoverNetworks"]),
            (["roam"], 1, "", ["roamNetworks", "wlan0"]),
            (["add", "office"], 1, "", ["addWifiNetwork", '"office"']),
            (["set", "office", "psk=plain", "channel=6"], 1, "", ["setNetworkParameters", '"office"']),
            (["set", "office", "--encrypted", "psk=not really"], 1, "", ["setNetworkParameters"]),
            (["hash-ca"], 1, "", ["hashCACertificates"]),
        ]
        for args, expected_status, expected_out, words in rows:
            with self.subTest(args=args):
                status, out, err = wifictl(*args)
                self.assertEqual(status, expected_status, err)
                self.assertEqual(out, expected_out)
                if words is None:
                    self.assertEqual(err, "")
                else:
                    self.assertOneLineNaming(err, *words)

    def test_adapter_option_reaches_the_library(self):
        for args in (["--adapter", "wlan7", "connect", "lab"], ["connect", "lab", "--adapter=wlan7"]):
            with self.subTest(args=args):
                status, out, err = wifictl(*args)
                self.assertEqual(status, 1)
                self.assertOneLineNaming(err, "connectToNetwork", '"lab"', "adapter wlan7")

    def test_usage_errors_exit_with_2(self):
        rows = [
            [],
            ["bogus"],
            ["connect"],
            ["connect", "a", "b"],
            ["set", "office"],
            ["set", "office", "novalue"],
            ["set", "office", "=3"],
            ["set", "office", "pks=1"],
            ["set", "office", "ssid=renamed"],
            ["set", "office", "Channel=3"],
            ["xml", "--adapter", "wlan0"],
            ["xml", "extra"],
            ["dump", "--detailed"],
            ["status", "--encrypted"],
            ["status", "--adapter"],
            ["--frobnicate", "status"],
            ["discover", "--max", "0"],
            ["discover", "--max", "256"],
            ["discover", "--max", "12x"],
        ]
        for args in rows:
            with self.subTest(args=args):
                status, out, err = wifictl(*args)
                self.assertEqual(status, 2, err)
                self.assertEqual(out, "")
                self.assertTrue(err.startswith("wifictl: "), err)

    def test_help_lists_every_command_and_key(self):
        for flag in ("--help", "-h"):
            status, out, err = wifictl(flag)
            self.assertEqual((status, err), (0, ""))
            commands = [line.split()[0] for line in out.splitlines() if line.startswith("  ")]
            for command in COMMANDS:
                self.assertIn(command, commands)
            for key in SET_KEYS:
                self.assertRegex(out, r"\n  %s[ *]" % key)
            for option in ("--adapter", "--detailed", "--max", "--encrypted"):
                self.assertIn(option, out)


if __name__ == "__main__":
    arguments = sys.argv[1:]
    if len(arguments) < 2 or arguments[0] != "--wifictl":
        sys.exit(__doc__)
    WIFICTL = arguments[1]
    unittest.main(argv=[sys.argv[0]] + arguments[2:])
