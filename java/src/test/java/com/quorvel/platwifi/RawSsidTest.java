package com.quorvel.platwifi;

import static com.quorvel.platwifi.BWifiPlatformService.*;
import static com.quorvel.platwifi.testing.DaemonScriptBridge.*;
import static org.junit.jupiter.api.Assertions.*;

import org.junit.jupiter.api.Test;

/**
 * SSIDs that are bytes rather than UTF-8 (Latin-1 and GBK are common): each
 * byte outside UTF-8 reaches Java as the lone surrogate U+DC00 + byte, and
 * such a string handed back to a native is the same bytes again.
 */
class RawSsidTest {
    static final String A = "wlan0";
    static final String LATIN1 = "caf\uDCE9";              // "café" in Latin-1
    static final String UTF8 = "caf\u00e9";                // "café" in UTF-8
    static final String GBK = "\uDCCD\uDCF8\uDCC2\uDCE7";  // two characters in GBK
    static final String MIXED = "\u00e9\uDCE9 \uD83D\uDCF6"; // UTF-8, a stray byte, U+1F4F6

    @Test
    void byteSsidsComeBackAsTheSameBytesAndFindTheirNetworks() {
        unloadWifiSettings0();
        reset();
        setClock(1_000_000L);
        adapters(A);
        networks("0\t" + LATIN1 + "\tany\t", "1\t" + GBK + "\tany\t", "2\t" + UTF8 + "\tany\t");
        scanResults();
        status("wpa_state=COMPLETED");
        result("addNetwork", true);
        nextNetworkId(3);
        assertTrue(addNetwork0(A, MIXED));
        assertArrayEquals(new String[] {"addNetwork(" + A + ", " + MIXED + ")"}, calls("addNetwork"));

        String[] ssids = getNetworkDatabaseSsids0(A);
        assertArrayEquals(new String[] {MIXED, UTF8, GBK, LATIN1}, ssids);
        // Set every network apart before reading any: each SSID must reach
        // its own record, the Latin-1 and the UTF-8 "café" included.
        for (int i = 0; i < ssids.length; ++i) assertTrue(setPriority0(A, ssids[i], (byte) (10 + i)), ssids[i]);
        for (int i = 0; i < ssids.length; ++i) assertEquals(10 + i, getPriority0(A, ssids[i]), ssids[i]);
        unloadWifiSettings0();
    }
}
