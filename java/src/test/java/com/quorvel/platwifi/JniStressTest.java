package com.quorvel.platwifi;

import static com.quorvel.platwifi.BWifiPlatformService.*;
import static com.quorvel.platwifi.NativeMethods.*;
import static com.quorvel.platwifi.testing.DaemonScriptBridge.*;
import static org.junit.jupiter.api.Assertions.*;

import java.util.*;
import java.util.concurrent.*;
import org.junit.jupiter.api.Test;

/**
 * Sixteen threads for three seconds, each on a network of its own whose
 * results are known and on four shared ones (NativeStressTest runs the same
 * mix under ThreadSanitizer).
 */
class JniStressTest {
    static Callable<Long> worker(int id) {
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
