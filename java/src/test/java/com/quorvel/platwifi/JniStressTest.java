package com.quorvel.platwifi;

import static com.quorvel.platwifi.BWifiPlatformService.*;
import static com.quorvel.platwifi.testing.DaemonScriptBridge.*;
import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertNotNull;
import static org.junit.jupiter.api.Assertions.assertTrue;
import static org.junit.jupiter.api.Assertions.fail;

import java.util.ArrayList;
import java.util.Arrays;
import java.util.HashSet;
import java.util.List;
import java.util.Map;
import java.util.Random;
import java.util.Set;
import java.util.TreeSet;
import java.util.concurrent.Callable;
import java.util.concurrent.ConcurrentHashMap;
import java.util.concurrent.ExecutionException;
import java.util.concurrent.ExecutorService;
import java.util.concurrent.Executors;
import java.util.concurrent.Future;
import java.util.concurrent.TimeUnit;
import org.junit.jupiter.api.AfterAll;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.Timeout;

/**
 * Sixteen threads call a mix of getters, setters, add, remove, rename, save
 * and the status natives at once against the test build of the library.
 * Each thread owns one network that only it touches, so every result on it
 * is known in advance; four shared networks are changed by all of them.
 */
class JniStressTest {
    static final String A = "wlan0";
    static final int THREADS = 16;
    static final long RUN_MILLIS = 3000;
    static final List<String> SHARED = List.of("s0", "s1", "s2", "s3");

    /** Every identity any thread wrote to a shared network. */
    static final Set<String> sharedIdentities = ConcurrentHashMap.newKeySet();

    @AfterAll
    static void unload() {
        unloadWifiSettings0();
        reset();
    }

    static void check(boolean condition, String what) {
        if (!condition) throw new AssertionError(what);
    }

    /** One thread's work, and what it knows of its own network at the end. */
    static final class Worker implements Callable<Worker> {
        final int id;
        final long deadline;
        final String cipherText;
        final Random random;
        String name;
        boolean present;
        String identity;
        int priority;
        boolean keySet;
        long calls;

        Worker(int id, long deadline, String cipherText) {
            this.id = id;
            this.deadline = deadline;
            this.cipherText = cipherText;
            this.random = new Random(id);
            this.name = "own" + id;
        }

        @Override
        public Worker call() {
            int step = 0;
            while (System.nanoTime() < deadline) {
                one(random.nextInt(14), step++);
                calls++;
            }
            return this;
        }

        private void one(int operation, int step) {
            String shared = SHARED.get(random.nextInt(SHARED.size()));
            switch (operation) {
                case 0 -> {
                    check(addNetwork0(A, name) == !present, name + " add");
                    if (!present) {
                        present = true;
                        identity = null;
                        priority = 0;
                        keySet = false;
                    }
                }
                case 1 -> {
                    check(removeNetwork0(A, name), name + " remove");
                    present = false;
                }
                case 2 -> {
                    String next = "id " + id + " " + step;
                    check(setEAPIdentity0(A, name, next) == present, name + " identity");
                    if (present) identity = next;
                }
                case 3 -> {
                    int next = (priority + 1 + random.nextInt(3)) & 0xFF;
                    boolean changed = present && next != priority;
                    check(setPriority0(A, name, (byte) next) == changed, name + " priority");
                    if (present) priority = next;
                }
                case 4 -> {
                    check(setPreSharedKey0(A, name, cipherText) == (present && !keySet), name + " key");
                    if (present) keySet = true;
                }
                case 5 -> {
                    check(equal(present ? identity : null, getEAPIdentity0(A, name)), name + " read identity");
                    check(getPriority0(A, name) == (present ? priority : 0), name + " read priority");
                    check(getNetworkMode0(A, name) == 2, name + " read mode");
                    String key = getPreSharedKey0(A, name);
                    check((key != null) == (present && keySet), name + " read key");
                }
                case 6 -> {
                    String next = name + " " + step;
                    sharedIdentities.add(next);
                    setEAPIdentity0(A, shared, next);
                    check(setWepKey0(A, shared, id % 4, "key" + id), shared + " wep key");
                    setPriority0(A, shared, (byte) random.nextInt(256));
                    setEncryption0(A, shared, List.of(1, 2, 4, 6, 8, 16).get(random.nextInt(6)));
                }
                case 7 -> {
                    check(getWepKeys0(A, shared).length == 4, shared + " wep keys");
                    getEAPIdentity0(A, shared);
                    getSupportedEncrytptionMethods0(A, shared);
                    getPreSharedKey0(A, shared);
                }
                case 8 -> {
                    String[] ssids = getNetworkDatabaseSsids0(A);
                    check(ssids != null, "ssids");
                    Set<String> distinct = new HashSet<>(Arrays.asList(ssids));
                    check(distinct.size() == ssids.length, "duplicate ssids " + Arrays.toString(ssids));
                    check(distinct.containsAll(SHARED), "shared networks " + Arrays.toString(ssids));
                    check(distinct.contains(name) == present, name + " listed");
                }
                case 9 -> check(saveHostSettings0(), "save");
                case 10 -> {
                    getNetworkStatus0(A, shared);
                    getCurrentNetwork0(A);
                    getDaemonStatus0(A);
                    if (id == 0) advanceClock(5000);
                }
                case 11 -> {
                    String other = name.endsWith("x") ? "own" + id : "own" + id + "x";
                    check(setSsid0(A, name, other) == present, name + " rename");
                    if (present) name = other;
                }
                case 12 -> {
                    // Moves the current network around; removing it must forget it.
                    check(connectToNetwork0(A, name) == present, name + " connect");
                    getCurrentNetwork0(A);
                    check(disconnectFromNetwork0(A, shared), shared + " disconnect");
                }
                default -> {
                    if (id == 0 && step % 64 == 0) clearCalls();
                    setSsidBroadcasted0(A, shared, (byte) random.nextInt(3));
                    getSsidBroadcasted0(A, shared);
                }
            }
        }

        private static boolean equal(String a, String b) {
            return a == null ? b == null : a.equals(b);
        }
    }

    @Test
    @Timeout(90)
    void sixteenThreadsKeepTheDatabaseConsistent() throws Exception {
        unloadWifiSettings0();
        reset();
        setClock(1_000_000L);
        adapters(A);
        networks("0\ts0\tany\t[CURRENT]", "1\ts1\tany\t", "2\ts2\tany\t", "3\ts3\tany\t[DISABLED]");
        scanResults("aa:bb:cc:dd:ee:ff\t2412\t200\t[WPA2-PSK]\ts1");
        status("wpa_state=COMPLETED", "ssid=s0");
        for (String operation : List.of("addNetwork", "removeNetwork", "setNetworkVariable",
                "setNetworkBssid", "saveConfig", "reloadConfig", "selectNetwork", "disconnectNetwork",
                "reconnect")) {
            result(operation, true);
        }
        nextNetworkId(9);
        assertArrayEquals(new String[] {"s3", "s2", "s1", "s0"}, getNetworkDatabaseSsids0(A));

        long deadline = System.nanoTime() + TimeUnit.MILLISECONDS.toNanos(RUN_MILLIS);
        ExecutorService pool = Executors.newFixedThreadPool(THREADS);
        List<Future<Worker>> futures = new ArrayList<>();
        for (int i = 0; i < THREADS; i++) {
            futures.add(pool.submit(new Worker(i, deadline, encrypt("secret " + i))));
        }
        pool.shutdown();
        if (!pool.awaitTermination(RUN_MILLIS + 30_000, TimeUnit.MILLISECONDS)) {
            fail("threads still running 30 s after the deadline:\n" + stacks());
        }

        List<Worker> workers = new ArrayList<>();
        for (Future<Worker> future : futures) {
            try {
                workers.add(future.get());
            } catch (ExecutionException e) {
                throw new AssertionError("a worker failed", e.getCause());
            }
        }

        // The database holds the shared networks and exactly the present own
        // ones, each with what its thread last wrote.
        Set<String> expected = new TreeSet<>(SHARED);
        long calls = 0;
        for (Worker worker : workers) {
            calls += worker.calls;
            if (!worker.present) continue;
            expected.add(worker.name);
            assertEquals(worker.identity, getEAPIdentity0(A, worker.name), worker.name);
            assertEquals(worker.priority, getPriority0(A, worker.name), worker.name);
            String key = getPreSharedKey0(A, worker.name);
            if (worker.keySet) {
                assertEquals("secret " + worker.id, decrypt(key), worker.name);
            } else {
                assertEquals(null, key, worker.name);
            }
        }
        String[] ssids = getNetworkDatabaseSsids0(A);
        assertNotNull(ssids);
        assertEquals(ssids.length, new HashSet<>(Arrays.asList(ssids)).size(), Arrays.toString(ssids));
        assertEquals(expected, new TreeSet<>(Arrays.asList(ssids)));
        for (String shared : SHARED) {
            String identity = getEAPIdentity0(A, shared);
            assertTrue(identity == null || sharedIdentities.contains(identity), shared + ": " + identity);
            String[] keys = getWepKeys0(A, shared);
            for (int slot = 0; slot < 4; slot++) {
                assertTrue(keys[slot].isEmpty() || Integer.parseInt(keys[slot].substring(3)) % 4 == slot,
                        shared + " key " + slot + ": " + keys[slot]);
            }
        }
        assertTrue(saveHostSettings0());
        assertTrue(calls > THREADS * 100L, "calls made: " + calls);
    }

    private static String stacks() {
        StringBuilder text = new StringBuilder();
        for (Map.Entry<Thread, StackTraceElement[]> entry : Thread.getAllStackTraces().entrySet()) {
            text.append(entry.getKey().getName()).append('\n');
            for (StackTraceElement frame : entry.getValue()) text.append("    ").append(frame).append('\n');
        }
        return text.toString();
    }
}
