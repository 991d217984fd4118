package com.quorvel.platwifi;

import static com.quorvel.platwifi.BWifiPlatformService.*;
import static com.quorvel.platwifi.NativeMethods.*;
import static com.quorvel.platwifi.testing.DaemonScriptBridge.*;
import static org.junit.jupiter.api.Assertions.*;

import java.util.*;
import java.util.concurrent.*;
import org.junit.jupiter.api.BeforeEach;
import org.junit.jupiter.api.Test;

/**
 * The natives on the real JVM against the test build of the library, whose
 * daemon answers from a script: "office" (id 0, current) and "home" (id 1,
 * disabled) on adapter "wlan0"; every operation succeeds.
 */
class ScriptedLibraryTest {
    static final String OFFICE = "office";
    static final String HOME = "home";

    @BeforeEach
    void loadTwoNetworks() {
        script(OFFICE, "0\toffice\tany\t[CURRENT]", "1\thome\t00:11:22:33:44:55\t[DISABLED]");
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
            if (p.getter() != null) assertEquals(p.missing(), callOn(p.getter(), A, "-", -1), p.getter());
            if (p.setter() != null) assertEquals(false, callOn(p.setter(), A, "-", -1), p.setter());
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
        // "" arrives as "" undecrypted; a text's null as null. A secret that
        // does not decrypt, null included, throws and leaves the stored one.
        for (Parameter p : PARAMETERS) {
            if (!(p.value() instanceof String)) continue;
            assertEquals(true, call(p.setter(), A, OFFICE, ""), p.setter());
            assertEquals("", read(p, OFFICE), p.getter());
            assertEquals(true, call(p.setter(), A, OFFICE, sent(p)), p.setter());
            for (String garbage : Arrays.asList(null, "not a cipher text", "\u00e9\uD83D\uDD11", encrypt("x").substring(4))) {
                if (p.kind() != Kind.SECRET) continue;
                assertThrows(IllegalStateException.class, () -> call(p.setter(), A, OFFICE, garbage), garbage);
            }
            assertEquals(p.value(), read(p, OFFICE), p.getter());
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
    }

    @Test
    void nonUtf8AndFourByteSsidsRoundTrip() {
        // Bytes outside UTF-8 (Latin-1 and GBK here) reach Java as the lone
        // surrogates U+DC00 + byte and are the same bytes again on the way back.
        String latin1 = "caf\uDCE9", utf8 = "caf\u00e9", gbk = "\uDCCD\uDCF8\uDCC2\uDCE7", mixed = "\u00e9\uDCE9 \uD83D\uDCF6";
        script(OFFICE, "0\t" + latin1 + "\tany\t", "1\t" + gbk + "\tany\t", "2\t" + utf8 + "\tany\t");
        String name = "\uD83D\uDCF6 mix \u00e9\u65e5\uD834\uDD1E";
        assertTrue(addNetwork0(A, mixed) && addNetwork0(A, name));
        String[] ssids = getNetworkDatabaseSsids0(A);
        assertArrayEquals(new String[] {name, mixed, utf8, gbk, latin1}, ssids);
        // Set every network apart before reading any: each SSID must reach its own record.
        for (int i = 0; i < ssids.length; ++i) assertTrue(setPriority0(A, ssids[i], (byte) (10 + i)), ssids[i]);
        for (int i = 0; i < ssids.length; ++i) assertEquals(10 + i, getPriority0(A, ssids[i]), ssids[i]);

        status("wpa_state=COMPLETED", "ssid=" + name);
        String scanLine = "aa:bb:cc:dd:ee:ff\t2412\t200\t[WPA2-PSK]\t\uD83D\uDCF6";
        scanResults(scanLine);
        result("scan", true);
        assertEquals(name, getCurrentNetwork0(A));
        assertArrayEquals(new String[] {scanLine}, discoverNetworks0(A));
        assertArrayEquals(new String[] {"addNetwork(wlan0, " + mixed + ")", "addNetwork(wlan0, " + name + ")"},
                calls("addNetwork"));
    }

    @Test
    void serviceNativesPassTheDaemonsAnswersOn() {
        assertEquals(List.of(List.of(A), 8, OFFICE), List.of(List.of(getWifiAdapters0()), getDaemonStatus0(A),
                getCurrentNetwork0(A)));
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

        // The list stops at 32 names, the newest first; null strings fail cleanly.
        for (int i = 0; i < 31; i++) assertTrue(addNetwork0(A, "n" + i));
        String[] ssids = getNetworkDatabaseSsids0(A);
        assertEquals(List.of(32, "n30", "n29"), List.of(ssids.length, ssids[0], ssids[1]));
        result("removeNetwork", false);
        callWithNullStrings(A, "n0");
    }

    /** One thread's cycles for three seconds on a network of its own and the four shared ones. */
    private static Callable<Long> worker(int id) {
        return () -> {
            String cipherText = encrypt("secret " + id), own = "own" + id, renamed = own + "x";
            long cycles = 0;
            for (long end = System.nanoTime() + 3_000_000_000L; System.nanoTime() < end; cycles++) {
                String shared = "s" + cycles % 4, identity = "id " + cycles;
                int priority = (int) (cycles % 255) + 1;
                assertTrue(addNetwork0(A, own) && setEAPIdentity0(A, own, identity)
                        && setPriority0(A, own, (byte) priority) && setPreSharedKey0(A, own, cipherText), own);
                setEncryption0(A, shared, 1 << cycles % 5);
                assertTrue(setWepKey0(A, shared, id % 4, own) && getWepKeys0(A, shared).length == 4, shared);
                getNetworkStatus0(A, shared);
                if (id == 0) advanceClock(5000);
                if (id == 0 && cycles % 64 == 0) clearCalls();
                assertEquals(List.of(true, identity, priority, "secret " + id), List.of(saveHostSettings0(),
                        getEAPIdentity0(A, own), getPriority0(A, own), decrypt(getPreSharedKey0(A, own))), own);
                // Moves the current network around; removing it must forget it.
                assertTrue(setSsid0(A, own, renamed) && connectToNetwork0(A, renamed), own);
                getCurrentNetwork0(A);
                assertTrue(disconnectFromNetwork0(A, shared) && removeNetwork0(A, renamed), own);
                assertFalse(setEAPIdentity0(A, renamed, "gone") || setEAPIdentity0(A, own, "gone"), own);
            }
            return cycles;
        };
    }

    /** Sixteen threads at once (NativeStressTest runs the same mix under ThreadSanitizer). */
    @Test
    void sixteenThreadsKeepTheDatabaseConsistent() throws Exception {
        script("s0", "0\ts0\tany\t[CURRENT]", "1\ts1\tany\t", "2\ts2\tany\t", "3\ts3\tany\t[DISABLED]");
        List<Callable<Long>> workers = new ArrayList<>();
        for (int i = 0; i < 16; i++) workers.add(worker(i));
        // A worker's failure comes out of get(); a deadlock cancels it there.
        ExecutorService pool = Executors.newFixedThreadPool(16);
        long cycles = 0;
        for (Future<Long> future : pool.invokeAll(workers, 60, TimeUnit.SECONDS)) cycles += future.get();
        pool.shutdown();
        assertTrue(cycles > 160, "cycles: " + cycles);
        assertEquals(List.of("s3", "s2", "s1", "s0"), List.of(getNetworkDatabaseSsids0(A)));
        for (int i = 0; i < 4; i++) {
            String[] keys = getWepKeys0(A, "s" + i);
            for (int k = 0; k < 4; k++) assertTrue(keys[k].isEmpty() || Integer.parseInt(keys[k].substring(3)) % 4 == k);
        }
    }
}
