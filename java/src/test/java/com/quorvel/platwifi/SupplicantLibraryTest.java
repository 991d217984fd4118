package com.quorvel.platwifi;

import static com.quorvel.platwifi.BWifiPlatformService.*;
import static com.quorvel.platwifi.NativeMethods.call;
import static java.nio.charset.StandardCharsets.ISO_8859_1;
import static java.nio.charset.StandardCharsets.UTF_8;
import static org.junit.jupiter.api.Assertions.*;
import static org.junit.jupiter.api.Assumptions.assumeTrue;

import java.nio.ByteBuffer;
import java.nio.file.Files;
import java.nio.file.Path;
import java.security.SecureRandom;
import java.util.Base64;
import java.util.List;
import java.util.function.BooleanSupplier;
import javax.crypto.Cipher;
import javax.crypto.spec.GCMParameterSpec;
import javax.crypto.spec.SecretKeySpec;
import org.junit.jupiter.api.BeforeAll;
import org.junit.jupiter.api.Test;

/**
 * The library with the supplicant backend on the real JVM, beside the
 * supplicant that with_supplicant starts from networks.conf on "lo".
 */
class SupplicantLibraryTest {
    static final String A = "lo";
    static final String CONFIG = System.getenv("WIRELESS_TEST_SUPPLICANT_CONFIG");

    @BeforeAll
    static void needsItsOwnSupplicant() {
        assumeTrue(CONFIG != null, "needs a supplicant: run through in-private-network with_supplicant");
    }

    /** Getter, setter, network, value loaded from networks.conf, value set, line the saved file then holds. */
    static final Object[][] ROWS = {
        {"getPriority0", "setPriority0", "office", 5, (byte) 9, "priority=9"},
        {"getProtocol0", "setProtocol0", "office", 2, 1, "proto=WPA"},
        {"getBssid0", "setPreferredBssid0", "office", "00:00:00:00:00:00", "02:00:00:00:00:02", "bssid=02:00:00:00:00:02"},
        {"getPreSharedKey0", "setPreSharedKey0", "office", "*", "java passphrase", "psk=\"java passphrase\""},
        {"getEAPMethod0", "setEAPMethod0", "corp", 2, 1, "eap=TLS"},
        {"getEAPIdentity0", "setEAPIdentity0", "corp", "alice", "carol", "identity=\"carol\""},
        {"getCACertificate0", "setCACertificate0", "corp", "/etc/wireless/corp-ca.pem", "/etc/j.pem", "ca_cert=\"/etc/j.pem\""},
        {"getClientCertificate20", "setClientCertificate20", "corp", null, "/etc/in.pem", "client_cert2=\"/etc/in.pem\""},
        {"getTunnelPhase10", "setTunnelPhase10", "corp", "peaplabel=0", "peaplabel=1", "phase1=\"peaplabel=1\""},
        {"getEAPPassword0", "setEAPPassword0", "corp", "*", "java password", "password=\"java password\""},
        {"getPrivateKeyPassword0", "setPrivateKeyPassword0", "corp", "*", "java key", "private_key_passwd=\"java key\""},
        {"getAuthentication0", "setAuthentication0", "wep", 2, 1, "auth_alg=OPEN"},
    };

    private static boolean secret(Object[] row) {
        return ((String) row[0]).matches(".*(Password|PreSharedKey).*");
    }

    /** What the getter reads, a secret decrypted, as text. */
    private static String read(Object[] row, Object ssid) throws Exception {
        Object value = call((String) row[0], A, ssid);
        return String.valueOf(secret(row) && value != null ? crypt(Cipher.DECRYPT_MODE, (String) value) : value);
    }

    @Test
    void settersChangeWhatSaveWritesAndTheNextLoadReads() throws Exception {
        for (Object[] row : ROWS) assertEquals(String.valueOf(row[3]), read(row, row[2]), row[0] + " " + row[2]);
        for (Object[] row : ROWS) {
            Object value = secret(row) ? crypt(Cipher.ENCRYPT_MODE, (String) row[4]) : row[4];
            assertEquals(true, call((String) row[1], A, row[2], value), row[1] + " " + row[2]);
        }
        String renamed = "w\\e \"p\"";
        assertTrue(setSsid0(A, "wep", renamed) && saveHostSettings0());
        String config = Files.readString(Path.of(CONFIG), ISO_8859_1);
        for (Object[] row : ROWS) {
            String ssidLine = "\tssid=\"" + (row[2].equals("wep") ? renamed : row[2]) + "\"\n";
            String block = config.substring(config.indexOf(ssidLine) + 1);
            assertTrue(block.substring(0, block.indexOf('}')).contains("\t" + row[5] + "\n"), row[5] + " in\n" + config);
        }
        assertTrue(unloadWifiSettings0());
        assertTrue(List.of(getNetworkDatabaseSsids0(A)).contains(renamed));
        for (Object[] row : ROWS) {
            assertEquals(secret(row) ? "*" : String.valueOf(row[4]), read(row, row[2].equals("wep") ? renamed : row[2]),
                    row[0] + " after a new load");
        }
    }

    @Test
    void operationsChangeWhatTheStatusNativesSee() throws InterruptedException {
        assertArrayEquals(new String[] {A}, getWifiAdapters0());
        assertTrue(isWifiEnabled0(null) && isWifiEnabled0(A) && connectToNetwork0(A, "off"), "a disabled network");
        await(() -> getDaemonStatus0(A) == 8 && "off".equals(getCurrentNetwork0(A)) && getNetworkStatus0(A, "off") == 3);
        assertTrue(disconnectFromNetwork0(A, "off"));
        await(() -> getDaemonStatus0(A) == 1 && getCurrentNetwork0(A) == null && getNetworkStatus0(A, "off") == 1);
        assertTrue(roamNetworks0(A) && addNetwork0(A, "added"));
        await(() -> getDaemonStatus0(A) == 8 && getCurrentNetwork0(A) != null);
        assertTrue(List.of(getNetworkDatabaseSsids0(A)).contains("added") && removeNetwork0(A, "added"));
        assertFalse(List.of(getNetworkDatabaseSsids0(A)).contains("added"));
        String[] seen = discoverNetworks0(A);
        assertTrue(seen == null || seen.length == 0, "no access point on the loopback interface");
    }

    private static void await(BooleanSupplier reached) throws InterruptedException {
        for (int i = 0; i < 100 && !reached.getAsBoolean(); i++) Thread.sleep(50);
        assertTrue(reached.getAsBoolean(), "the supplicant never got there");
    }

    /**
     * The library's secret form: base64 of version 1, a 12-byte nonce, then
     * AES-256-GCM cipher text and tag under the key file's key, the version
     * authenticated too.
     */
    static String crypt(int mode, String text) throws Exception {
        byte[] key = Files.readAllBytes(Path.of(System.getenv("TESSEL_CRYPT_KEY_FILE")));
        Cipher cipher = Cipher.getInstance("AES/GCM/NoPadding");
        byte[] sealed = mode == Cipher.DECRYPT_MODE ? Base64.getDecoder().decode(text) : new byte[13];
        if (mode == Cipher.ENCRYPT_MODE) new SecureRandom().nextBytes(sealed);
        cipher.init(mode, new SecretKeySpec(key, "AES"), new GCMParameterSpec(128, sealed, 1, 12));
        cipher.updateAAD(new byte[] {1});
        if (mode == Cipher.DECRYPT_MODE) return new String(cipher.doFinal(sealed, 13, sealed.length - 13), UTF_8);
        byte[] body = cipher.doFinal(text.getBytes(UTF_8));
        return Base64.getEncoder().encodeToString(
                ByteBuffer.allocate(13 + body.length).put((byte) 1).put(sealed, 1, 12).put(body).array());
    }
}
