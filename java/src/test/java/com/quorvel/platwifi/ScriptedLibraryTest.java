package com.quorvel.platwifi;

import static com.quorvel.platwifi.BWifiPlatformService.*;
import static com.quorvel.platwifi.NativeMethods.*;
import static com.quorvel.platwifi.testing.DaemonScriptBridge.*;
import static org.junit.jupiter.api.Assertions.*;

import java.util.*;
import java.util.stream.IntStream;
import org.junit.jupiter.api.*;

/**
 * The natives on the real JVM against the test build of the library, whose
 * daemon answers from a script: "office" (id 5, current) and "home" (id 6,
 * disabled) on adapter "wlan0"; every operation succeeds.
 */
class ScriptedLibraryTest {
    static final String OFFICE = "office", HOME = "home";

    @BeforeEach
    void loadTwoNetworks() {
        script(OFFICE, "5\toffice\tany\t[CURRENT]", "6\thome\t00:11:22:33:44:55\t[DISABLED]");
    }

    /** What the getter of the row reads; a secret must leave encrypted (decrypt throws on plain text). */
    private static Object read(Parameter p, String ssid) {
        Object out = call(p.getter(), A, ssid);
        return p.kind() == Kind.SECRET && out != null ? decrypt((String) out) : out;
    }

    @Test
    void parameterNativesHaveTheirCTypesAndReachTheirFields() {
        assertEquals(NATIVES.size(), registerNatives(BWifiPlatformService.class), "registered by C types");
        for (Parameter p : PARAMETERS) {
            assertEquals(List.of(true, p.kind() == Kind.ALWAYS), List.of(call(p.setter(), A, OFFICE, p.sent()),
                    call(p.setter(), A, OFFICE, p.sent())), p.setter() + " twice");
        }
        // Read back only after every setter ran, so crossed wiring reads wrong.
        // A secret that does not decrypt, null included, throws and leaves the
        // stored one.
        String[] garbage = {null, "not a cipher text", "\u00e9\uD83D\uDD11", encrypt("x").substring(4)};
        for (Parameter p : PARAMETERS) {
            for (String bad : p.kind() == Kind.SECRET ? garbage : new String[0]) {
                assertInstanceOf(IllegalStateException.class, call(p.setter(), A, OFFICE, bad), p.setter());
            }
            assertEquals(p.value(), read(p, OFFICE), p.getter());
            assertNotEquals(p.value(), read(p, HOME), p.getter() + " of home");
            // "" arrives as "" (a secret's undecrypted), a text's null as null.
            if (!(p.value() instanceof String)) continue;
            assertEquals(List.of(true, ""), List.of(call(p.setter(), A, OFFICE, ""), read(p, OFFICE)), p.setter());
            if (p.kind() == Kind.SECRET) continue;
            assertEquals(Arrays.asList(true, true, null), Arrays.asList(call(p.setter(), A, OFFICE, p.value()),
                    call(p.setter(), A, OFFICE, (Object) null), read(p, OFFICE)), p.setter());
        }
        // 8-bit arguments: their unsigned low byte, the mode one below the
        // priority so that crossed wiring shows; broadcast is exactly 1.
        for (int[] step : new int[][] {{300, 44}, {1, 1}, {200, 200}, {257, 1}, {-1, 255}, {2, 2}}) {
            byte in = (byte) step[0];
            assertTrue(setPriority0(A, OFFICE, in) && setNetworkMode0(A, OFFICE, (byte) (in - 1))
                    && setSsidBroadcasted0(A, OFFICE, in), "" + in);
            assertEquals(List.of(step[1], (step[1] + 255) % 256, step[1] == 1), List.of(getPriority0(A, OFFICE),
                    getNetworkMode0(A, OFFICE), getSsidBroadcasted0(A, OFFICE)), "" + step[0]);
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
        String latin1 = "caf\uDCE9", gbk = "\uDCCD\uDCF8\uDCC2\uDCE7", mixed = "\u00e9\uDCE9 \uD83D\uDCF6";
        String name = "\uD83D\uDCF6 mix \u00e9\u65e5\uD834\uDD1E", scan = "aa:bb:cc:dd:ee:ff\t2412\t200\t[ESS]\t\uD83D\uDCF6";
        script(name, "5\t" + latin1 + "\tany\t", "6\t" + gbk + "\tany\t", "7\t" + name + "\tany\t[CURRENT]");
        scanResults(scan);
        assertTrue(addNetwork0(A, mixed));
        String[] ssids = getNetworkDatabaseSsids0(A);
        assertArrayEquals(new String[] {mixed, name, gbk, latin1}, ssids);
        // Set every network apart before reading any: each SSID must reach its own record.
        for (int i = 0; i < ssids.length; ++i) assertTrue(setPriority0(A, ssids[i], (byte) (10 + i)), ssids[i]);
        for (int i = 0; i < ssids.length; ++i) assertEquals(10 + i, getPriority0(A, ssids[i]), ssids[i]);
        assertEquals(List.of(8, name, scan, true), List.of(getDaemonStatus0(A), getCurrentNetwork0(A),
                discoverNetworks0(A)[0], calls().contains("\naddNetwork(wlan0, " + mixed + ")\n")));
    }

    @Test
    void serviceNativesPassTheirArgumentsAndTheDaemonsAnswers() {
        // Every operation fails, then succeeds; the identity gives save something to do.
        for (boolean works : new boolean[] {false, true}) {
            OPERATIONS.forEach(operation -> result(operation, works));
            assertTrue(setEAPIdentity0(A, OFFICE, "" + works));
            assertEquals(Collections.nCopies(9, works), List.of(discoverNetworks0(A) != null,
                    isWifiEnabled0(works ? A : null), hashCACertificates0(), connectToNetwork0(A, HOME),
                    disconnectFromNetwork0(A, HOME), roamNetworks0(A), addNetwork0(A, "new"), removeNetwork0(A, HOME),
                    saveHostSettings0()), "" + works);
        }
        // Each native passed its adapter on: isWifiEnabled0 alone was given null.
        assertEquals(List.of(List.of("isWifiEnabled(null)"), List.of("new", OFFICE), List.of(A)), List.of(
                calls().lines().filter(call -> call.contains("null")).toList(),
                List.of(getNetworkDatabaseSsids0(A)), List.of(getWifiAdapters0())));

        // The list stops at 32 names, the newest first; null strings fail cleanly.
        for (int i = 0; i < 31; i++) assertTrue(addNetwork0(A, "n" + i));
        String[] ssids = getNetworkDatabaseSsids0(A);
        assertEquals(List.of(32, "n30", "new"), List.of(ssids.length, ssids[0], ssids[31]));
        result("removeNetwork", false);
        NATIVES.forEach((name, method) -> IntStream.range(0, method.getParameterCount())
                .forEach(nulled -> callOn(name, A, "n0", nulled)));
    }
}
