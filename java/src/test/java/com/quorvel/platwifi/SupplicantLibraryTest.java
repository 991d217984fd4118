package com.quorvel.platwifi;

import static com.quorvel.platwifi.BWifiPlatformService.*;
import static com.quorvel.platwifi.NativeMethods.call;
import static java.nio.charset.StandardCharsets.*;
import static org.junit.jupiter.api.Assertions.*;
import static org.junit.jupiter.api.Assumptions.assumeTrue;

import java.nio.file.*;
import java.security.SecureRandom;
import java.util.Base64;
import javax.crypto.Cipher;
import javax.crypto.spec.*;
import org.junit.jupiter.api.*;

/**
 * The library with the supplicant backend on the real JVM, beside the
 * supplicant that with_supplicant starts from networks.conf on "lo". The
 * fields, operations and status are the C++ tests' matter; these rows prove
 * the natives' paths: a number, a text, a secret, and a network renamed.
 */
class SupplicantLibraryTest {
    static final String A = "lo";
    static final String CONFIG = System.getenv("WIRELESS_TEST_SUPPLICANT_CONFIG");

    /** Getter, setter, network, value loaded, value set, line the saved file then holds. */
    static final Object[][] ROWS = {
        {"getPriority0", "setPriority0", "office", 5, (byte) 9, "priority=9"},
        {"getEAPIdentity0", "setEAPIdentity0", "corp", "alice", "carol", "identity=\"carol\""},
        {"getAuthentication0", "setAuthentication0", "wep", 2, 1, "auth_alg=OPEN"},
    };

    @BeforeAll
    static void needsItsOwnSupplicant() {
        assumeTrue(CONFIG != null, "needs a supplicant: run through in-private-network with_supplicant");
    }

    @Test
    void settersChangeWhatSaveWritesAndTheNextLoadReads() throws Exception {
        String renamed = "w\\e \"p\"";
        for (Object[] row : ROWS) {
            assertEquals(String.valueOf(row[3]), String.valueOf(call((String) row[0], A, row[2])));
            assertEquals(true, call((String) row[1], A, row[2], row[4]));
        }
        assertTrue(setPreSharedKey0(A, "office", encrypt("java passphrase")));
        assertTrue(setSsid0(A, "wep", renamed) && saveHostSettings0());
        String config = Files.readString(Path.of(CONFIG), ISO_8859_1);
        for (Object row : new Object[] {ROWS[0][5], ROWS[1][5], ROWS[2][5], "psk=\"java passphrase\"",
            "ssid=\"" + renamed + "\"\n\tkey_mgmt=NONE"}) {
            assertTrue(config.contains("\t" + row + "\n"), row + " in\n" + config);
        }
        assertTrue(unloadWifiSettings0());
        for (Object[] row : ROWS) {
            Object read = call((String) row[0], A, row[2].equals("wep") ? renamed : row[2]);
            assertEquals(String.valueOf(row[4]), String.valueOf(read), row[0] + " after a new load");
        }
        assertNotNull(getPreSharedKey0(A, "office"), "the passphrase after a new load");
    }

    /**
     * The library's secret form: base64 of version 1, a 12-byte nonce, then
     * AES-256-GCM cipher text and tag under the key file's key, the version
     * authenticated too.
     */
    static String encrypt(String text) throws Exception {
        byte[] plain = text.getBytes(UTF_8);
        byte[] sealed = new byte[13 + plain.length + 16];
        new SecureRandom().nextBytes(sealed);
        sealed[0] = 1;
        byte[] key = Files.readAllBytes(Path.of(System.getenv("TESSEL_CRYPT_KEY_FILE")));
        Cipher cipher = Cipher.getInstance("AES/GCM/NoPadding");
        cipher.init(Cipher.ENCRYPT_MODE, new SecretKeySpec(key, "AES"), new GCMParameterSpec(128, sealed, 1, 12));
        cipher.updateAAD(sealed, 0, 1);
        cipher.doFinal(plain, 0, plain.length, sealed, 13);
        return Base64.getEncoder().encodeToString(sealed);
    }
}
