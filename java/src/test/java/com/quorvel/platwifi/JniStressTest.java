package com.quorvel.platwifi;

import static com.quorvel.platwifi.BWifiPlatformService.*;
import static com.quorvel.platwifi.NativeMethods.*;
import static com.quorvel.platwifi.testing.DaemonScriptBridge.*;
import static org.junit.jupiter.api.Assertions.*;

import java.util.*;
import java.util.concurrent.*;
import org.junit.jupiter.api.Test;

/**
 * Sixteen threads call getters, setters, add, remove, rename, save and the
 * status natives at once (NativeStressTest runs the same mix under
 * ThreadSanitizer). Each thread owns one network that only it touches, so its
 * results are known; four shared networks are changed by all of them.
 */
class JniStressTest {
    static final List<String> SHARED = List.of("s0", "s1", "s2", "s3");

    /** Cycles of one thread for three seconds; its network is left with identity "last". */
    static Callable<Long> worker(int id) {
        return () -> {
            Random random = new Random(id);
            String cipherText = encrypt("secret " + id), own = "own" + id, renamed = own + "x";
            long cycles = 0;
            for (long deadline = System.nanoTime() + 3_000_000_000L; System.nanoTime() < deadline; cycles++) {
                String shared = SHARED.get(random.nextInt(4)), identity = "id " + cycles;
                int priority = random.nextInt(255) + 1;
                assertTrue(addNetwork0(A, own) && setEAPIdentity0(A, own, identity)
                        && setPriority0(A, own, (byte) priority) && setPreSharedKey0(A, own, cipherText), own);
                setEAPIdentity0(A, shared, own);
                setEncryption0(A, shared, 1 << random.nextInt(5));
                assertTrue(setWepKey0(A, shared, id % 4, own) && getWepKeys0(A, shared).length == 4, shared);
                getNetworkStatus0(A, shared);
                getDaemonStatus0(A);
                if (id == 0) advanceClock(5000);
                if (id == 0 && cycles % 64 == 0) clearCalls();
                assertTrue(saveHostSettings0());
                assertEquals(List.of(identity, priority, "secret " + id), List.of(getEAPIdentity0(A, own),
                        getPriority0(A, own), decrypt(getPreSharedKey0(A, own))), own);
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
        script("s0", "0\ts0\tany\t[CURRENT]", "1\ts1\tany\t", "2\ts2\tany\t", "3\ts3\tany\t[DISABLED]");
        List<Callable<Long>> workers = new ArrayList<>();
        Set<String> expected = new TreeSet<>(SHARED);
        for (int i = 0; i < 16; i++) {
            workers.add(worker(i));
            expected.add("own" + i);
        }
        // A worker's failure comes out of get(); a deadlock cancels it there.
        ExecutorService pool = Executors.newFixedThreadPool(16);
        long cycles = 0;
        for (Future<Long> future : pool.invokeAll(workers, 60, TimeUnit.SECONDS)) cycles += future.get();
        pool.shutdown();
        assertTrue(cycles > 160, "cycles: " + cycles);
        List<String> ssids = Arrays.asList(getNetworkDatabaseSsids0(A));
        assertEquals(List.of(expected, expected.size()), List.of(new TreeSet<>(ssids), ssids.size()));
        for (String name : expected) {
            String identity = String.valueOf(getEAPIdentity0(A, name));
            assertTrue(name.startsWith("own") ? identity.equals("last") : identity.matches("own\\d+"), name + identity);
            String[] keys = getWepKeys0(A, name);
            for (int i = 0; i < 4; i++) assertTrue(keys[i].isEmpty() || Integer.parseInt(keys[i].substring(3)) % 4 == i, keys[i]);
        }
    }
}
