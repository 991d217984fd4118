package com.quorvel.platwifi;

import static com.quorvel.platwifi.BWifiPlatformService.*;
import static com.quorvel.platwifi.NativeMethods.call;
import static org.junit.jupiter.api.Assertions.*;

import java.nio.charset.StandardCharsets;
import java.nio.file.*;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.condition.EnabledIfEnvironmentVariable;

/**
 * The library with the supplicant backend on the real JVM, beside the
 * supplicant that with_supplicant starts from networks.conf on "lo". The
 * fields, operations and status are the C++ tests' matter; these rows prove
 * the natives' paths: a number, a text and a network renamed (secrets take
 * the same path as on the scripted library).
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

    /** Runs only through in-private-network with_supplicant, which names the supplicant's file. */
    @Test
    @EnabledIfEnvironmentVariable(named = "WIRELESS_TEST_SUPPLICANT_CONFIG", matches = ".+")
    void settersChangeWhatSaveWritesAndTheNextLoadReads() throws Exception {
        String renamed = "w\\e \"p\"";
        for (Object[] row : ROWS) {
            assertEquals(String.valueOf(row[3]), String.valueOf(call((String) row[0], A, row[2])));
            assertEquals(true, call((String) row[1], A, row[2], row[4]));
        }
        assertTrue(setSsid0(A, "wep", renamed) && saveHostSettings0());
        String config = Files.readString(Path.of(CONFIG), StandardCharsets.ISO_8859_1);
        for (Object[] row : ROWS) assertTrue(config.contains("\t" + row[5] + "\n"), row[5] + " in\n" + config);
        assertTrue(config.contains("\tssid=\"" + renamed + "\"\n\tkey_mgmt=NONE\n") && unloadWifiSettings0(), config);
        for (Object[] row : ROWS) {
            Object read = call((String) row[0], A, row[2].equals("wep") ? renamed : row[2]);
            assertEquals(String.valueOf(row[4]), String.valueOf(read), row[0] + " after a new load");
        }
    }
}
