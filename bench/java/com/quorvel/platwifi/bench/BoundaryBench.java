package com.quorvel.platwifi.bench;

import static com.quorvel.platwifi.BWifiPlatformService.*;
import static com.quorvel.platwifi.testing.DaemonScriptBridge.*;

import java.io.IOException;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.List;
import java.util.Locale;

/**
 * Cost of the natives at the Java boundary, against the scripted daemon with
 * 32 configured networks, as a ratio to floor natives measured in the same
 * run: one that only converts its two string arguments, one that only makes
 * the JNI calls of a 32-name String array. Every case is warmed up, then
 * timed in many short interleaved rounds; the best round counts, which on a
 * shared machine is the one the scheduler left alone.
 *
 * Afterwards a mixed run of a million calls reports the resident size after
 * the first tenth and at the end.
 */
public final class BoundaryBench {
    static {
        System.loadLibrary("wireless");
    }

    private static native int convertStrings0(String adapter, String ssid);
    private static native String[] stringArray0(String adapter);

    static final String A = "wlan0";
    static final int NETWORKS = 32;
    // The database lists the newest first: network-31 is found first,
    // network-0 last.
    static final String FIRST = "network-31";
    static final String LAST = "network-0";

    /** One benchmark case: its loop of n calls, and the floor it is held against. */
    record Case(String name, Loop loop, String floor, double limit) {}

    interface Loop {
        long run(int n);
    }

    static void scriptDatabase() {
        unloadWifiSettings0();
        reset();
        setClock(1_000_000L);
        adapters(A);
        String[] list = new String[NETWORKS];
        for (int id = 0; id < NETWORKS; ++id) {
            list[id] = id + "\tnetwork-" + id + "\tany\t" + (id == 0 ? "[CURRENT]" : "");
        }
        networks(list);
        scanResults();
        status("wpa_state=COMPLETED", "ssid=network-0");
        result("setNetworkVariable", true);
        if (getNetworkDatabaseSsids0(A).length != NETWORKS) throw new IllegalStateException("database not loaded");
        String psk = encrypt("correct horse battery staple");
        if (!setPreSharedKey0(A, LAST, psk) || !setTunnelPhase10(A, LAST, "peaplabel=0")) {
            throw new IllegalStateException("record not set up");
        }
    }

    // Each case writes out its own loop, so that every native is called from
    // a call site of its own that the JIT compiles straight to it; a shared
    // loop calling through an interface would add a dispatch to every call.
    static List<Case> cases() {
        List<Case> cases = new ArrayList<>();
        cases.add(new Case("floor: two strings", n -> {
            long s = 0;
            for (int i = 0; i < n; ++i) s += convertStrings0(A, LAST);
            return s;
        }, null, 0));
        cases.add(new Case("floor: 32-name array", n -> {
            long s = 0;
            for (int i = 0; i < n; ++i) s += stringArray0(A).length;
            return s;
        }, null, 0));
        cases.add(new Case("getPriority0 first", n -> {
            long s = 0;
            for (int i = 0; i < n; ++i) s += getPriority0(A, FIRST);
            return s;
        }, "floor: two strings", 0));
        cases.add(new Case("getPriority0 last", n -> {
            long s = 0;
            for (int i = 0; i < n; ++i) s += getPriority0(A, LAST);
            return s;
        }, "floor: two strings", 2.0));
        cases.add(new Case("setPriority0 first", n -> {
            long s = 0;
            for (int i = 0; i < n; ++i) s += setPriority0(A, FIRST, (byte) (i & 1)) ? 1 : 0;
            return s;
        }, "floor: two strings", 0));
        cases.add(new Case("setPriority0 last", n -> {
            long s = 0;
            for (int i = 0; i < n; ++i) s += setPriority0(A, LAST, (byte) (i & 1)) ? 1 : 0;
            return s;
        }, "floor: two strings", 2.0));
        cases.add(new Case("getTunnelPhase10 last", n -> {
            long s = 0;
            for (int i = 0; i < n; ++i) s += getTunnelPhase10(A, LAST).length();
            return s;
        }, "floor: two strings", 0));
        cases.add(new Case("getPreSharedKey0 last", n -> {
            long s = 0;
            for (int i = 0; i < n; ++i) s += getPreSharedKey0(A, LAST).length();
            return s;
        }, "floor: two strings", 0));
        cases.add(new Case("getNetworkStatus0 last", n -> {
            long s = 0;
            for (int i = 0; i < n; ++i) s += getNetworkStatus0(A, LAST);
            return s;
        }, "floor: two strings", 0));
        cases.add(new Case("getNetworkDatabaseSsids0", n -> {
            long s = 0;
            for (int i = 0; i < n; ++i) s += getNetworkDatabaseSsids0(A).length;
            return s;
        }, "floor: 32-name array", 1.5));
        return cases;
    }

    static long sink;

    /** Calls per timed round so that a round lasts about the given time. */
    static int calibrate(Loop loop, long roundNanos) {
        int n = 1000;
        while (true) {
            long start = System.nanoTime();
            sink += loop.run(n);
            long took = System.nanoTime() - start;
            if (took >= roundNanos / 4 || n >= (1 << 26)) return (int) Math.max(1000, n * (double) roundNanos / took);
            n *= 4;
        }
    }

    static double[] measure(List<Case> cases, int rounds, long roundNanos) {
        int[] calls = new int[cases.size()];
        double[] best = new double[cases.size()];
        for (int c = 0; c < cases.size(); ++c) {
            sink += cases.get(c).loop().run(200_000);  // warm-up: compiled, caches filled
            calls[c] = calibrate(cases.get(c).loop(), roundNanos);
            best[c] = Double.MAX_VALUE;
        }
        for (int round = 0; round < rounds; ++round) {
            for (int c = 0; c < cases.size(); ++c) {
                long start = System.nanoTime();
                sink += cases.get(c).loop().run(calls[c]);
                best[c] = Math.min(best[c], (System.nanoTime() - start) / (double) calls[c]);
            }
        }
        return best;
    }

    static long residentKiB() throws IOException {
        for (String line : Files.readAllLines(Path.of("/proc/self/status"))) {
            if (line.startsWith("VmRSS:")) return Long.parseLong(line.replaceAll("[^0-9]", ""));
        }
        throw new IllegalStateException("no VmRSS");
    }

    /** A million calls across getters, setters, secrets, arrays and status. */
    static void memory() throws IOException {
        String psk = encrypt("correct horse battery staple");
        String other = encrypt("tr0ub4dor&3");
        final int total = 1_000_000;
        long afterTenth = 0;
        for (int i = 0; i < total; ++i) {
            String ssid = (i & 1) == 0 ? FIRST : LAST;
            switch (i % 8) {
                case 0 -> sink += getPriority0(A, ssid);
                case 1 -> sink += setPriority0(A, ssid, (byte) i) ? 1 : 0;
                case 2 -> sink += getTunnelPhase10(A, ssid) == null ? 0 : 1;
                case 3 -> sink += setTunnelPhase10(A, ssid, (i & 2) == 0 ? "peaplabel=0" : "peaplabel=1") ? 1 : 0;
                case 4 -> sink += getPreSharedKey0(A, ssid) == null ? 0 : 1;
                case 5 -> sink += setPreSharedKey0(A, ssid, (i & 2) == 0 ? psk : other) ? 1 : 0;
                case 6 -> sink += getNetworkDatabaseSsids0(A).length;
                default -> sink += getNetworkStatus0(A, ssid);
            }
            if (i + 1 == total / 10) afterTenth = residentKiB();
        }
        long atEnd = residentKiB();
        System.out.printf(Locale.ROOT, "%nresident size after %d calls: %d KiB; after %d: %d KiB; growth %d KiB (limit 1024)%n",
                total / 10, afterTenth, total, atEnd, atEnd - afterTenth);
    }

    public static void main(String[] args) throws IOException {
        int rounds = args.length > 0 ? Integer.parseInt(args[0]) : 60;
        scriptDatabase();
        List<Case> cases = cases();
        // A second argument keeps the cases whose names contain it, and their
        // floors: for profiling one native.
        if (args.length > 1) {
            List<Case> all = cases;
            cases = all.stream().filter(k -> k.floor() == null || k.name().contains(args[1])).toList();
        }
        double[] best = measure(cases, rounds, 2_000_000L);

        System.out.printf(Locale.ROOT, "%-28s %10s %8s  %s%n", "native", "ns/call", "ratio", "floor (limit)");
        for (int c = 0; c < cases.size(); ++c) {
            Case k = cases.get(c);
            if (k.floor() == null) {
                System.out.printf(Locale.ROOT, "%-28s %10.1f %8s%n", k.name(), best[c], "1.00");
                continue;
            }
            int f = 0;
            while (!cases.get(f).name().equals(k.floor())) ++f;
            double ratio = best[c] / best[f];
            String limit = k.limit() > 0 ? String.format(Locale.ROOT, " (<= %.1f %s)", k.limit(), ratio <= k.limit() ? "ok" : "OVER") : "";
            System.out.printf(Locale.ROOT, "%-28s %10.1f %8.2f  %s%s%n", k.name(), best[c], ratio, k.floor(), limit);
        }
        if (args.length < 2) memory();
        if (sink == 42) System.out.println();
        unloadWifiSettings0();
    }
}
