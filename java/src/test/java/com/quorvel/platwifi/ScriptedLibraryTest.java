package com.quorvel.platwifi;

import static com.quorvel.platwifi.BWifiPlatformService.*;
import static com.quorvel.platwifi.NativeMethods.*;
import static com.quorvel.platwifi.testing.DaemonScriptBridge.*;
import static org.junit.jupiter.api.Assertions.*;

import java.util.Arrays;
import java.util.List;
import org.junit.jupiter.api.BeforeEach;
import org.junit.jupiter.api.Test;

/**
 * The natives on the real JVM against the test build of the library, whose
 * daemon answers from a script: "office" (id 0, current) and "home" (id 1,
 * disabled) on adapter "wlan0"; every operation succeeds.
 */
class ScriptedLibraryTest {
    static final String A = "wlan0";
    static final String OFFICE = "office";
    static final String HOME = "home";

    @BeforeEach
    void loadTwoNetworks() {
        unloadWifiSettings0();
        reset();
        setClock(1_000_000L);
        adapters(A);
        networks("0\toffice\tany\t[CURRENT]", "1\thome\t00:11:22:33:44:55\t[DISABLED]");
        scanResults();
        status("wpa_state=COMPLETED", "ssid=office");
        List.of("addNetwork", "removeNetwork", "selectNetwork", "disconnectNetwork", "reconnect", "setNetworkVariable",
                "setNetworkBssid", "saveConfig", "reloadConfig").forEach(operation -> result(operation, true));
        nextNetworkId(7);
        assertArrayEquals(new String[] {HOME, OFFICE}, getNetworkDatabaseSsids0(A));
    }

    /** The value of the row as its setter takes it: secrets encrypted, afresh on every call. */
    private static Object sent(Parameter p) {
        return p.kind() == Kind.SECRET ? encrypt((String) p.value()) : p.value();
    }

    /** What the getter of the row reads; a secret must leave encrypted and is decrypted here. */
    private static Object read(Parameter p, String ssid) {
        Object out = call(p.getter(), A, ssid);
        if (p.kind() != Kind.SECRET || out == null) return out;
        assertNotEquals(p.value(), out, p.getter() + " leaves in plain text");
        return decrypt((String) out);
    }

    @Test
    void parameterSettersReportChangesAndGettersReadThem() {
        for (Parameter p : PARAMETERS) {
            if (p.getter() != null) assertEquals(p.missing(), callOn(p.getter(), A, "-"), p.getter());
            if (p.setter() != null) assertEquals(false, callOn(p.setter(), A, "-"), p.setter());
            if (p.value() == null) continue;
            assertEquals(true, call(p.setter(), A, OFFICE, sent(p)), p.setter());
            assertEquals(p.kind() == Kind.ALWAYS, call(p.setter(), A, OFFICE, sent(p)), p.setter() + " again");
        }
        // Read back only after every setter ran, so crossed wiring reads wrong.
        for (Parameter p : PARAMETERS) {
            if (p.value() == null) continue;
            assertEquals(p.stored(), read(p, OFFICE), p.getter());
            assertNotEquals(p.stored(), read(p, HOME), p.getter() + " of home");
        }
        // Texts and secrets: "" arrives as "" undecrypted; a text's null as null.
        for (Parameter p : PARAMETERS) {
            if (!(p.value() instanceof String)) continue;
            assertEquals(true, call(p.setter(), A, OFFICE, ""), p.setter());
            assertEquals("", read(p, OFFICE), p.getter());
            assertEquals(true, call(p.setter(), A, OFFICE, sent(p)), p.setter());
            if (p.kind() == Kind.SECRET) continue;
            assertEquals(true, call(p.setter(), A, OFFICE, (Object) null), p.setter());
            assertNull(read(p, OFFICE), p.getter());
        }
    }

    @Test
    void numbersCiphersAndWepKeysConvertAsTheirNativesSay() {
        // 8-bit arguments: their unsigned low byte; broadcast is exactly 1.
        for (int[] step : new int[][] {{300, 44}, {200, 200}, {-1, 255}}) {
            assertTrue(setPriority0(A, OFFICE, (byte) step[0]) && setNetworkMode0(A, OFFICE, (byte) step[0]));
            assertEquals(List.of(step[1], step[1]), List.of(getPriority0(A, OFFICE), getNetworkMode0(A, OFFICE)));
        }
        for (int broadcast : new int[] {1, 2, 257, -1, 0}) {
            assertTrue(setSsidBroadcasted0(A, OFFICE, (byte) broadcast));
            assertEquals((byte) broadcast == 1, getSsidBroadcasted0(A, OFFICE), "broadcast " + broadcast);
        }
        // WEP keys: always four slots, "" where no key is set; indexes beyond 0..3 are refused.
        assertTrue(setWepKey0(A, OFFICE, 2, "0123456789"));
        assertFalse(setWepKey0(A, OFFICE, 4, "x") || setWepKey0(A, OFFICE, -1, "x") || setWepIndex0(A, OFFICE, 4));
        assertArrayEquals(new String[] {"", "", "0123456789", ""}, getWepKeys0(A, OFFICE));
        // 6 is CCMP pairwise with TKIP group; WEP40 sets the group and leaves
        // the pairwise cipher; NONE sets the pairwise cipher and leaves the group.
        for (int[] step : new int[][] {{6, 6}, {16, 4 | 16}, {1, 1 | 16}}) {
            assertTrue(setEncryption0(A, OFFICE, step[0]), "encryption " + step[0]);
            assertEquals(step[1], getSupportedEncrytptionMethods0(A, OFFICE), "encryption " + step[0]);
        }
        // The scan results reach channel, strength, mode and BSSID at load.
        scanResults("aa:bb:cc:dd:ee:ff\t2442\t200\t[WPA2-PSK]\toffice", "11:22:33:44:55:66\t2412\t180\t[IBSS]\thome");
        assertTrue(unloadWifiSettings0());
        assertEquals(List.of(7, 80, 0, "aa:bb:cc:dd:ee:ff", 1), List.of(getChannel0(A, OFFICE), getStrength0(A, OFFICE),
                getNetworkMode0(A, OFFICE), getBssid0(A, OFFICE), getNetworkMode0(A, HOME)));
    }

    @Test
    void undecryptableSecretsThrowAndLeaveTheStoredOne() {
        for (Parameter p : PARAMETERS) {
            if (p.kind() != Kind.SECRET) continue;
            assertEquals(true, call(p.setter(), A, OFFICE, sent(p)));
            for (String garbage : Arrays.asList(null, "not a cipher text", "\u00e9\uD83D\uDD11", encrypt("x").substring(4))) {
                assertThrows(IllegalStateException.class, () -> call(p.setter(), A, OFFICE, garbage), garbage);
            }
            assertEquals(p.value(), read(p, OFFICE), p.getter());
        }
    }

    @Test
    void nonAsciiSsidsSurviveAddRenameAndTheDaemon() {
        List<String> names = List.of("caf\u00e9", "\uD83D\uDCF6 mix \u00e9\u65e5\uD834\uDD1E");
        for (String name : names) {
            assertTrue(addNetwork0(A, name) && setEAPIdentity0(A, name, "id " + name), name);
            assertEquals("id " + name, getEAPIdentity0(A, name), name);
            assertArrayEquals(new String[] {"addNetwork(wlan0, " + name + ")"}, calls("addNetwork"), name);
            clearCalls();
        }
        assertEquals(List.of(names.get(1), names.get(0), HOME, OFFICE), Arrays.asList(getNetworkDatabaseSsids0(A)));

        // Renaming carries the record over; the old name finds nothing.
        String renamed = "\u00e9t\u00e9 \uD83C\uDF1E";
        assertTrue(setEAPIdentity0(A, OFFICE, "office id") && setSsid0(A, OFFICE, renamed));
        assertFalse(setSsid0(A, renamed, renamed), "same name");
        assertEquals(Arrays.asList(null, "office id"), Arrays.asList(getEAPIdentity0(A, OFFICE), getEAPIdentity0(A, renamed)));
        status("wpa_state=COMPLETED", "ssid=" + renamed);
        assertEquals(renamed, getCurrentNetwork0(A));

        // Names and scan lines as the daemon reports them.
        networks("0\t\u00e9t\u00e9\tany\t[CURRENT]", "1\t\uD83D\uDCF6\tany\t");
        String scanLine = "aa:bb:cc:dd:ee:ff\t2412\t200\t[WPA2-PSK]\t\uD83D\uDCF6";
        scanResults(scanLine);
        result("scan", true);
        assertTrue(unloadWifiSettings0());
        assertArrayEquals(new String[] {"\uD83D\uDCF6", "\u00e9t\u00e9"}, getNetworkDatabaseSsids0(A));
        assertArrayEquals(new String[] {scanLine}, discoverNetworks0(A));
    }

    @Test
    void serviceNativesPassTheDaemonsAnswersOn() {
        assertEquals(List.of(List.of(A), 8, OFFICE), List.of(List.of(getWifiAdapters0()), getDaemonStatus0(A),
                getCurrentNetwork0(A)));
        // The network status refreshes the list first, at most once every 5000 ms.
        networks("0\toffice\tany\t[DISABLED]", "1\thome\tany\t");
        clearCalls();
        assertEquals(List.of(3, 3), List.of(getNetworkStatus0(A, OFFICE), getNetworkStatus0(A, OFFICE)));
        advanceClock(5000);
        assertEquals(List.of(5, 5, 1), List.of(getNetworkStatus0(A, OFFICE), getNetworkStatus0(A, OFFICE),
                getNetworkStatus0(A, HOME)));
        assertEquals(1, calls("listNetworks").length);

        clearCalls();
        assertNull(discoverNetworks0(A), "the scan fails");
        assertFalse(isWifiEnabled0(null) || hashCACertificates0());
        for (String operation : List.of("scan", "isWifiEnabled", "hashCACertificates")) result(operation, true);
        scanResults("line one", "line two");
        assertArrayEquals(new String[] {"line one", "line two"}, discoverNetworks0(A));
        assertTrue(isWifiEnabled0(A) && hashCACertificates0());
        assertFalse(connectToNetwork0(A, "nowhere") || addNetwork0(A, HOME), "no such network; already there");
        assertTrue(connectToNetwork0(A, HOME) && disconnectFromNetwork0(A, HOME) && roamNetworks0(A));
        assertTrue(addNetwork0(A, "new") && removeNetwork0(A, HOME));
        assertTrue(setEAPIdentity0(A, OFFICE, "me") && saveHostSettings0());
        List<String> log = Arrays.asList(calls(null));
        assertTrue(log.containsAll(List.of("scan(wlan0)", "isWifiEnabled(null)", "isWifiEnabled(wlan0)",
                "hashCACertificates()", "selectNetwork(wlan0, 1)", "disconnectNetwork(wlan0, 1)", "reconnect(wlan0)",
                "addNetwork(wlan0, new)", "removeNetwork(wlan0, 1)", "saveConfig(wlan0)")), log.toString());
        result("saveConfig", false);
        assertTrue(setEAPIdentity0(A, OFFICE, "you"));
        assertFalse(saveHostSettings0());

        // The list stops at 32 names, the newest first.
        for (int i = 0; i < 31; i++) assertTrue(addNetwork0(A, "n" + i));
        String[] ssids = getNetworkDatabaseSsids0(A);
        assertEquals(List.of(32, "n30", "n29"), List.of(ssids.length, ssids[0], ssids[1]));
    }

    @Test
    void nullStringsOnALoadedDatabase() throws Exception {
        result("removeNetwork", false);  // home stays for the natives after removeNetwork0
        callWithNullStrings(A, HOME);
        assertEquals(OFFICE, getCurrentNetwork0(A));
        assertTrue(setEAPIdentity0(A, OFFICE, "still here"));
    }
}
