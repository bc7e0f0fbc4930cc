#!/usr/bin/env python3
"""tools/release.sh run again from another checkout of the same commit, in another folder:
dist/ must come out byte for byte the same. Then the same checkout builds a release
signed with a key held in a token and time-stamped by a local authority, and last one
signed with a throwaway certificate, whose signed files must verify; that one stays in
<other>/dist for the install test (with <other>/signing/cert.pem).

    reproducible_test.py <source checkout> <its dist> <another folder> <version>
"""
import filecmp
import os
import shutil
import subprocess
import sys
import unittest
import zipfile

from time_stamp_authority import TimeStampAuthority

SOFTHSM_MODULE = "/usr/lib/softhsm/libsofthsm2.so"
SOURCE, DIST, OTHER, VERSION = sys.argv[1:5]
del sys.argv[1:5]
NAME = "meruvia-" + VERSION


def release(env=None):
    run_env = dict(os.environ)
    run_env.update(env or {})
    run_env.pop("SOURCE_DATE_EPOCH", None)
    result = subprocess.run(["bash", "tools/release.sh"], cwd=OTHER, env=run_env, capture_output=True,
                            text=True, timeout=500)
    assert result.returncode == 0, result.stdout + result.stderr
    return result.stdout


def verify(path, cert):
    return subprocess.run(["osslsigncode", "verify", "-CAfile", cert, "-in", path],
                          capture_output=True, text=True)


class Release(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        shutil.rmtree(OTHER, ignore_errors=True)
        os.makedirs(os.path.dirname(OTHER), exist_ok=True)
        subprocess.run(["git", "clone", "-q", SOURCE, OTHER], check=True)

    def test_1_same_bytes_from_another_folder(self):
        out = release()
        self.assertIn("UNSIGNED", out, "an unsigned release says so")
        names = sorted(os.listdir(DIST))
        self.assertEqual(["SHA256SUMS", NAME + "-setup.exe", NAME + "-win32.zip"], names)
        self.assertEqual(names, sorted(os.listdir(os.path.join(OTHER, "dist"))))
        for name in names:
            self.assertTrue(filecmp.cmp(os.path.join(DIST, name), os.path.join(OTHER, "dist", name), shallow=False),
                            name + " differs between the two folders (dist/ must be built from the committed tree)")
        with zipfile.ZipFile(os.path.join(DIST, NAME + "-win32.zip")) as z:
            self.assertEqual(
                ["INSTALL.txt", "MERUVIA.DLL", "docs/README.html", "docs/README.zh-CN.html",
                 "licenses/GCC-runtime.txt", "licenses/GPL-3.txt", "licenses/MinGW-w64.txt", "meruvia-display.exe",
                 "meruvia-host.exe"],
                [n.split("/", 1)[1] for n in z.namelist()])
            for name in z.namelist():
                self.assertNotIn(SOURCE.encode(), z.read(name), name + " carries a build path")
            # The guides link to each other as the release holds them, side by side in docs\.
            for guide, other in [("README.html", "README.zh-CN.html"), ("README.zh-CN.html", "README.html")]:
                page = z.read("%s/docs/%s" % (NAME, guide)).decode("utf-8")
                self.assertIn('href="%s"' % other, page, guide)
                self.assertNotRegex(page, r'href="[^":]*\.md[#"]', guide + " links to a Markdown file")
                self.assertNotRegex(page, r">[^<]*\.md</a>", guide + " names a Markdown file as a link")
        self.assertChecksumsOf(DIST, names)

    def assertChecksumsOf(self, dist, names):
        """SHA256SUMS names each file of the release once, nothing else, and each sum holds."""
        with open(os.path.join(dist, "SHA256SUMS"), encoding="ascii") as f:
            listed = [line.rstrip("\n").split("  ", 1)[1] for line in f if line.strip()]
        self.assertEqual(sorted(n for n in names if n != "SHA256SUMS"), sorted(listed))
        sums = subprocess.run(["sha256sum", "-c", "SHA256SUMS"], cwd=dist, capture_output=True, text=True)
        self.assertEqual(0, sums.returncode, sums.stdout + sums.stderr)

    def test_3_signed_release_verifies(self):
        signing = os.path.join(OTHER, "signing")
        os.makedirs(signing, exist_ok=True)
        cert, key = os.path.join(signing, "cert.pem"), os.path.join(signing, "key.pem")
        subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "30",
                        "-subj", "/CN=MERUVIA test signing", "-keyout", key, "-out", cert],
                       check=True, capture_output=True)
        out = release({"MERUVIA_SIGN_CERT": cert, "MERUVIA_SIGN_KEY": key})
        self.assertIn("signed", out)
        dist = os.path.join(OTHER, "dist")
        setup = os.path.join(dist, NAME + "-setup.exe")
        result = verify(setup, cert)
        self.assertEqual(0, result.returncode, result.stdout + result.stderr)
        unpacked = os.path.join(signing, "unpacked")
        with zipfile.ZipFile(os.path.join(dist, NAME + "-win32.zip")) as z:
            z.extractall(unpacked)
        for name in ["MERUVIA.DLL", "meruvia-host.exe", "meruvia-display.exe"]:
            result = verify(os.path.join(unpacked, NAME, name), cert)
            self.assertEqual(0, result.returncode, name + ": " + result.stdout + result.stderr)
        # The only plugins the installer carries, run from its temporary folder, are signed.
        plugins = os.path.join(OTHER, "build", "release", "nsis", "Plugins", "x86-unicode")
        self.assertEqual(["System.dll", "nsDialogs.dll"], sorted(os.listdir(plugins)))
        for name in os.listdir(plugins):
            result = verify(os.path.join(plugins, name), cert)
            self.assertEqual(0, result.returncode, name + ": " + result.stdout + result.stderr)
        unsigned = os.path.join(DIST, NAME + "-setup.exe")
        self.assertNotEqual(0, verify(unsigned, cert).returncode, "the unsigned release carries no signature")
        self.assertChecksumsOf(dist, sorted(os.listdir(dist)))  # taken after signing


    def test_2_key_in_a_token_and_a_time_stamp(self):
        """A publicly trusted signing key lives in hardware: here a SoftHSM token, reached
        through its PKCS#11 module, and an RFC 3161 time stamp from a local authority."""
        signing = os.path.join(OTHER, "token")
        shutil.rmtree(signing, ignore_errors=True)
        os.makedirs(os.path.join(signing, "tokens"))
        config = os.path.join(signing, "softhsm2.conf")
        with open(config, "w") as f:
            f.write("directories.tokendir = %s\n" % os.path.join(signing, "tokens"))
        token_env = dict(os.environ, SOFTHSM2_CONF=config)
        cert, key, key8 = (os.path.join(signing, n) for n in ("cert.pem", "key.pem", "key8.pem"))
        subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "30",
                        "-subj", "/CN=MERUVIA token signing", "-keyout", key, "-out", cert],
                       check=True, capture_output=True)
        subprocess.run(["openssl", "pkcs8", "-topk8", "-nocrypt", "-in", key, "-out", key8], check=True)
        subprocess.run(["softhsm2-util", "--init-token", "--free", "--label", "release", "--pin", "1234",
                        "--so-pin", "5678"], check=True, capture_output=True, env=token_env)
        subprocess.run(["softhsm2-util", "--import", key8, "--token", "release", "--label", "signkey", "--id", "01",
                        "--pin", "1234"], check=True, capture_output=True, env=token_env)
        os.remove(key)
        os.remove(key8)  # from now on the key exists only in the token
        uri = "pkcs11:token=release;object=signkey;type=private;pin-value=1234"

        no_module = subprocess.run(["bash", "tools/release.sh"], cwd=OTHER, capture_output=True, text=True,
                                   env=dict(token_env, MERUVIA_SIGN_CERT=cert, MERUVIA_SIGN_KEY=uri))
        self.assertNotEqual(0, no_module.returncode)
        self.assertIn("set MERUVIA_SIGN_PKCS11_MODULE", no_module.stderr)

        authority = TimeStampAuthority(os.path.join(signing, "tsa"))
        self.addCleanup(authority.close)
        os.environ["SOFTHSM2_CONF"] = config
        self.addCleanup(os.environ.pop, "SOFTHSM2_CONF")
        out = release({"MERUVIA_SIGN_CERT": cert, "MERUVIA_SIGN_KEY": uri,
                       "MERUVIA_SIGN_PKCS11_MODULE": SOFTHSM_MODULE, "MERUVIA_SIGN_TIMESTAMP_URL": authority.url})
        self.assertIn("the key in the token", out)
        self.assertNotIn("NO TIME STAMP", out)
        self.assertEqual(7, authority.requests,
                         "the DLL, the two tools, the installer's two page plugins, the uninstaller and the installer")
        dist = os.path.join(OTHER, "dist")
        unpacked = os.path.join(signing, "unpacked")
        with zipfile.ZipFile(os.path.join(dist, NAME + "-win32.zip")) as z:
            z.extractall(unpacked)
        for path in [os.path.join(dist, NAME + "-setup.exe"),
                     os.path.join(unpacked, NAME, "MERUVIA.DLL"),
                     os.path.join(unpacked, NAME, "meruvia-host.exe"),
                     os.path.join(unpacked, NAME, "meruvia-display.exe")]:
            result = subprocess.run(["osslsigncode", "verify", "-CAfile", cert, "-TSA-CAfile", authority.ca_file,
                                     "-in", path], capture_output=True, text=True)
            self.assertEqual(0, result.returncode, path + ": " + result.stdout + result.stderr)
            self.assertIn("Timestamp Server Signature verification: ok", result.stdout, path)
        self.assertChecksumsOf(dist, sorted(os.listdir(dist)))


if __name__ == "__main__":
    unittest.main(verbosity=2)
