package com.quorvel.platwifi;

import static com.quorvel.platwifi.BWifiPlatformService.*;
import static com.quorvel.platwifi.testing.DaemonScriptBridge.*;
import static org.junit.jupiter.api.Assertions.*;

import java.util.*;
import java.util.concurrent.*;
import org.junit.jupiter.api.Test;

/**
 * Sixteen threads call a mix of getters, setters, add, remove, rename, save
 * and the status natives at once against the test build of the library; the
 * native stress test runs the same mix under ThreadSanitizer. Each thread
 * owns one network that only it touches, so every result on it is known in
 * advance; four shared networks are changed by all of them.
 */
class JniStressTest {
    static final String A = "wlan0";
    static final int THREADS = 16;
    static final long RUN_MILLIS = 3000;
    static final List<String> SHARED = List.of("s0", "s1", "s2", "s3");

    /** Cycles of one thread until the deadline; its network is left with identity "last". */
    static Callable<Long> worker(int id, long deadline) {
        return () -> {
            Random random = new Random(id);
            String cipherText = encrypt("secret " + id), own = "own" + id, renamed = own + "x";
            long cycles = 0;
            for (; System.nanoTime() < deadline; cycles++) {
                String shared = SHARED.get(random.nextInt(SHARED.size())), identity = "id " + cycles;
                int priority = random.nextInt(255) + 1;
                assertTrue(addNetwork0(A, own) && setEAPIdentity0(A, own, identity)
                        && setPriority0(A, own, (byte) priority) && setPreSharedKey0(A, own, cipherText), own);
                setEAPIdentity0(A, shared, own);
                assertTrue(setWepKey0(A, shared, id % 4, String.valueOf(id)), shared);
                setEncryption0(A, shared, 1 << random.nextInt(5));
                setSsidBroadcasted0(A, shared, (byte) random.nextInt(3));
                assertEquals(4, getWepKeys0(A, shared).length, shared);
                getNetworkStatus0(A, shared);
                getDaemonStatus0(A);
                if (id == 0) advanceClock(5000);
                if (id == 0 && cycles % 64 == 0) clearCalls();
                assertTrue(saveHostSettings0());
                assertEquals(List.of(identity, priority, "secret " + id), List.of(getEAPIdentity0(A, own),
                        getPriority0(A, own), decrypt(getPreSharedKey0(A, own))), own);
                List<String> ssids = Arrays.asList(getNetworkDatabaseSsids0(A));
                assertTrue(Set.copyOf(ssids).size() == ssids.size() && ssids.containsAll(SHARED) && ssids.contains(own),
                        ssids::toString);
                // Moves the current network around; removing it must forget it.
                assertTrue(setSsid0(A, own, renamed) && connectToNetwork0(A, renamed), own);
                getCurrentNetwork0(A);
                assertTrue(disconnectFromNetwork0(A, shared) && removeNetwork0(A, renamed), own);
                assertFalse(setEAPIdentity0(A, renamed, "gone") || setEAPIdentity0(A, own, "gone"), own);
            }
            assertTrue(addNetwork0(A, own) && setEAPIdentity0(A, own, "last"), own);
            return cycles;
        };
    }

    @Test
    void sixteenThreadsKeepTheDatabaseConsistent() throws Exception {
        unloadWifiSettings0();
        reset();
        setClock(1_000_000L);
        adapters(A);
        networks("0\ts0\tany\t[CURRENT]", "1\ts1\tany\t", "2\ts2\tany\t", "3\ts3\tany\t[DISABLED]");
        scanResults("aa:bb:cc:dd:ee:ff\t2412\t200\t[WPA2-PSK]\ts1");
        status("wpa_state=COMPLETED", "ssid=s0");
        List.of("addNetwork", "removeNetwork", "setNetworkVariable", "setNetworkBssid", "saveConfig", "reloadConfig",
                "selectNetwork", "disconnectNetwork", "reconnect").forEach(operation -> result(operation, true));
        nextNetworkId(9);
        long deadline = System.nanoTime() + TimeUnit.MILLISECONDS.toNanos(RUN_MILLIS);
        List<Callable<Long>> workers = new ArrayList<>();
        for (int i = 0; i < THREADS; i++) workers.add(worker(i, deadline));
        ExecutorService pool = Executors.newFixedThreadPool(THREADS);
        // A worker's failure comes out of get(); a deadlock cancels it there.
        long cycles = 0;
        for (Future<Long> future : pool.invokeAll(workers, RUN_MILLIS + 30_000, TimeUnit.MILLISECONDS)) {
            cycles += future.get();
        }
        pool.shutdown();
        assertTrue(cycles > THREADS * 10L, "cycles: " + cycles);

        // The shared networks and each thread's own one, as it left it.
        Set<String> expected = new TreeSet<>(SHARED);
        for (int i = 0; i < THREADS; i++) {
            expected.add("own" + i);
            assertEquals("last", getEAPIdentity0(A, "own" + i));
        }
        List<String> ssids = Arrays.asList(getNetworkDatabaseSsids0(A));
        assertEquals(List.of(expected, expected.size()), List.of(new TreeSet<>(ssids), ssids.size()));
        for (String shared : SHARED) {
            String identity = getEAPIdentity0(A, shared);
            assertTrue(identity == null || identity.matches("own\\d+"), shared + ": " + identity);
            String[] keys = getWepKeys0(A, shared);
            for (int i = 0; i < 4; i++) assertTrue(keys[i].isEmpty() || Integer.parseInt(keys[i]) % 4 == i, keys[i]);
        }
        assertTrue(saveHostSettings0());
    }
}
