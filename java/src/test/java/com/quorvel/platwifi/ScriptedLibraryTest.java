package com.quorvel.platwifi;

import static com.quorvel.platwifi.BWifiPlatformService.*;
import static com.quorvel.platwifi.testing.DaemonScriptBridge.*;
import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertNotEquals;
import static org.junit.jupiter.api.Assertions.assertNotNull;
import static org.junit.jupiter.api.Assertions.assertNull;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.util.ArrayList;
import java.util.Arrays;
import java.util.List;
import org.junit.jupiter.api.AfterAll;
import org.junit.jupiter.api.BeforeEach;
import org.junit.jupiter.api.Test;

/**
 * The natives on the real JVM against the test build of the library, whose
 * daemon answers from a script: a database of two networks, "office" (id 0,
 * current) and "home" (id 1, disabled), on adapter "wlan0".
 */
class ScriptedLibraryTest {
    static final String A = "wlan0";
    static final String OFFICE = "office";
    static final String HOME = "home";
    static final long START = 1_000_000L;

    /** A database as the daemon reports it; every later operation succeeds. */
    static void scriptTwoNetworks() {
        unloadWifiSettings0();
        reset();
        setClock(START);
        adapters(A);
        networks("0\toffice\tany\t[CURRENT]", "1\thome\t00:11:22:33:44:55\t[DISABLED]");
        scanResults();
        status("wpa_state=COMPLETED", "ssid=office");
        for (String operation : List.of("addNetwork", "removeNetwork", "selectNetwork",
                "disconnectNetwork", "reconnect", "setNetworkVariable", "setNetworkBssid",
                "saveConfig", "reloadConfig")) {
            result(operation, true);
        }
        nextNetworkId(7);
    }

    @BeforeEach
    void loadTwoNetworks() {
        scriptTwoNetworks();
        // The first native builds the instance and loads the script.
        assertArrayEquals(new String[] {HOME, OFFICE}, getNetworkDatabaseSsids0(A));
    }

    @AfterAll
    static void unload() {
        unloadWifiSettings0();
        reset();
    }

    // ---- numbers --------------------------------------------------------

    interface NumberSetter { boolean set(String adapter, String ssid, int value); }
    interface NumberGetter { int get(String adapter, String ssid); }

    record NumberRow(String name, NumberSetter setter, NumberGetter getter, int value,
            boolean alwaysChanges) {}

    /** Distinct values, so a getter wired to another field reads wrong. */
    static final List<NumberRow> NUMBERS = List.of(
            new NumberRow("keyManagement", BWifiPlatformService::setKeyManagement0,
                    BWifiPlatformService::getKeyManagement0, 4, false),
            new NumberRow("protocol", BWifiPlatformService::setProtocol0,
                    BWifiPlatformService::getProtocol0, 2, false),
            new NumberRow("authentication", BWifiPlatformService::setAuthentication0,
                    BWifiPlatformService::getAuthentication0, 3, false),
            new NumberRow("eapMethod", BWifiPlatformService::setEAPMethod0,
                    BWifiPlatformService::getEAPMethod0, 32, false),
            new NumberRow("wepIndex", BWifiPlatformService::setWepIndex0,
                    BWifiPlatformService::getWepIndex0, 1, false),
            new NumberRow("strength", BWifiPlatformService::setSignalStrength0,
                    BWifiPlatformService::getStrength0, 37, true),
            new NumberRow("mode", (a, s, v) -> setNetworkMode0(a, s, (byte) v),
                    BWifiPlatformService::getNetworkMode0, 0, false),
            new NumberRow("priority", (a, s, v) -> setPriority0(a, s, (byte) v),
                    BWifiPlatformService::getPriority0, 7, false),
            new NumberRow("status", BWifiPlatformService::setNetworkStatus0,
                    BWifiPlatformService::getNetworkStatus0, 3, true));

    @Test
    void numericSettersReportWhetherTheValueChanged() {
        for (NumberRow row : NUMBERS) {
            assertTrue(row.setter().set(A, OFFICE, row.value()), row.name());
            assertEquals(row.alwaysChanges(), row.setter().set(A, OFFICE, row.value()), row.name());
        }
        for (NumberRow row : NUMBERS) {
            assertEquals(row.value(), row.getter().get(A, OFFICE), row.name());
            assertNotEquals(row.value(), row.getter().get(A, HOME), row.name() + " of home");
            assertFalse(row.setter().set(A, "nowhere", row.value()), row.name() + " of nowhere");
        }
        assertEquals(0, getKeyManagement0(A, "nowhere"));
        assertEquals(2, getNetworkMode0(A, "nowhere"));
        assertEquals(0, getChannel0(A, "nowhere"));

        // A WEP index above 3 is refused and leaves the index.
        assertFalse(setWepIndex0(A, OFFICE, 4));
        assertFalse(setWepIndex0(A, OFFICE, -1));
        assertEquals(1, getWepIndex0(A, OFFICE));
    }

    @Test
    void scanResultsReachTheGetters() {
        scanResults("aa:bb:cc:dd:ee:ff\t2442\t200\t[WPA2-PSK]\toffice",
                "11:22:33:44:55:66\t2412\t180\t[IBSS]\thome");
        assertTrue(unloadWifiSettings0());
        assertEquals(7, getChannel0(A, OFFICE));
        assertEquals(1, getChannel0(A, HOME));
        assertEquals(80, getStrength0(A, OFFICE));
        assertEquals(40, getStrength0(A, HOME));
        assertEquals(0, getNetworkMode0(A, OFFICE));
        assertEquals(1, getNetworkMode0(A, HOME));
        assertEquals("aa:bb:cc:dd:ee:ff", getBssid0(A, OFFICE));
        assertEquals("11:22:33:44:55:66", getBssid0(A, HOME));
    }

    @Test
    void eightBitArgumentsUseTheirUnsignedLowByte() {
        assertTrue(setPriority0(A, OFFICE, (byte) 300));
        assertEquals(44, getPriority0(A, OFFICE));
        assertTrue(setPriority0(A, OFFICE, (byte) 200));
        assertEquals(200, getPriority0(A, OFFICE));
        assertFalse(setPriority0(A, OFFICE, (byte) 456), "456 is 200 again");
        assertTrue(setPriority0(A, OFFICE, (byte) 256));
        assertEquals(0, getPriority0(A, OFFICE));

        assertTrue(setNetworkMode0(A, OFFICE, (byte) 255));
        assertEquals(255, getNetworkMode0(A, OFFICE));
        assertTrue(setNetworkMode0(A, OFFICE, (byte) 257));
        assertEquals(1, getNetworkMode0(A, OFFICE));

        // Exactly 1 is true; every setting reports a change.
        assertTrue(setSsidBroadcasted0(A, OFFICE, (byte) 1));
        assertTrue(getSsidBroadcasted0(A, OFFICE));
        assertTrue(setSsidBroadcasted0(A, OFFICE, (byte) 1));
        assertTrue(setSsidBroadcasted0(A, OFFICE, (byte) 2));
        assertFalse(getSsidBroadcasted0(A, OFFICE));
        assertTrue(setSsidBroadcasted0(A, OFFICE, (byte) 257));
        assertTrue(getSsidBroadcasted0(A, OFFICE));
        assertTrue(setSsidBroadcasted0(A, OFFICE, (byte) -1));
        assertFalse(getSsidBroadcasted0(A, OFFICE));
        assertFalse(getSsidBroadcasted0(A, "nowhere"));
        assertFalse(setSsidBroadcasted0(A, "nowhere", (byte) 1));
    }

    @Test
    void encryptionSetsPairwiseAndGroupCiphers() {
        assertTrue(setEncryption0(A, OFFICE, 6));
        assertEquals(6, getSupportedEncrytptionMethods0(A, OFFICE));
        assertFalse(setEncryption0(A, OFFICE, 6), "unchanged");
        // WEP40 leaves CCMP pairwise and sets the group.
        assertTrue(setEncryption0(A, OFFICE, 16));
        assertEquals(4 | 16, getSupportedEncrytptionMethods0(A, OFFICE));
        // NONE sets the pairwise cipher and leaves the group.
        assertTrue(setEncryption0(A, OFFICE, 1));
        assertEquals(1 | 16, getSupportedEncrytptionMethods0(A, OFFICE));
        assertFalse(setEncryption0(A, "nowhere", 6));
        assertEquals(0, getSupportedEncrytptionMethods0(A, "nowhere"));

        // The save writes the two ciphers apart.
        clearCalls();
        assertTrue(saveHostSettings0());
        List<String> written = Arrays.asList(calls("setNetworkVariable"));
        assertTrue(written.contains("setNetworkVariable(wlan0, 0, pairwise, NONE)"), written.toString());
        assertTrue(written.contains("setNetworkVariable(wlan0, 0, group, WEP40)"), written.toString());
    }

    // ---- texts ----------------------------------------------------------

    interface TextSetter { boolean set(String adapter, String ssid, String value); }
    interface TextGetter { String get(String adapter, String ssid); }

    record TextRow(String name, TextSetter setter, TextGetter getter) {}

    static final List<TextRow> TEXTS = List.of(
            new TextRow("bssid", BWifiPlatformService::setPreferredBssid0, BWifiPlatformService::getBssid0),
            new TextRow("eapIdentity", BWifiPlatformService::setEAPIdentity0,
                    BWifiPlatformService::getEAPIdentity0),
            new TextRow("eapAnonymousIdentity", BWifiPlatformService::setEAPAnonymousIdentity0,
                    BWifiPlatformService::getEAPAnonymousIdentity0),
            new TextRow("caCertificate", BWifiPlatformService::setCACertificate0,
                    BWifiPlatformService::getCACertificate0),
            new TextRow("caCertificateDir", BWifiPlatformService::setCACertificateDir0,
                    BWifiPlatformService::getCACertificateDir0),
            new TextRow("clientCertificate", BWifiPlatformService::setClientCertificate0,
                    BWifiPlatformService::getClientCertificate0),
            new TextRow("privateKeyFile", BWifiPlatformService::setPrivateKeyFile0,
                    BWifiPlatformService::getPrivateKeyFile0),
            new TextRow("phase1", BWifiPlatformService::setTunnelPhase10,
                    BWifiPlatformService::getTunnelPhase10),
            new TextRow("phase2", BWifiPlatformService::setTunnelPhase20,
                    BWifiPlatformService::getTunnelPhase20),
            new TextRow("caCertificate2", BWifiPlatformService::setCACertificate20,
                    BWifiPlatformService::getCACertificate20),
            new TextRow("caCertificateDir2", BWifiPlatformService::setCACertificateDir20,
                    BWifiPlatformService::getCACertificateDir20),
            new TextRow("clientCertificate2", BWifiPlatformService::setClientCertificate20,
                    BWifiPlatformService::getClientCertificate20),
            new TextRow("privateKeyFile2", BWifiPlatformService::setPrivateKeyFile20,
                    BWifiPlatformService::getPrivateKeyFile20));

    @Test
    void textSettersCopyAndReportChanges() {
        for (TextRow row : TEXTS) {
            assertTrue(row.setter().set(A, OFFICE, "value of " + row.name()), row.name());
            assertFalse(row.setter().set(A, OFFICE, "value of " + row.name()), row.name() + " again");
        }
        for (TextRow row : TEXTS) {
            assertEquals("value of " + row.name(), row.getter().get(A, OFFICE), row.name());
            assertNull(row.getter().get(A, "nowhere"), row.name());
            assertFalse(row.setter().set(A, "nowhere", "x"), row.name());
        }

        // Empty on a field that holds nothing stores nothing; empty replacing
        // a text is a change, and null does not replace the empty text.
        assertTrue(addNetwork0(A, "fresh"));
        for (TextRow row : TEXTS) {
            assertFalse(row.setter().set(A, "fresh", ""), row.name());
            assertNull(row.getter().get(A, "fresh"), row.name());
            assertTrue(row.setter().set(A, OFFICE, ""), row.name());
            assertEquals("", row.getter().get(A, OFFICE), row.name());
            assertFalse(row.setter().set(A, OFFICE, null), row.name());
            assertEquals("", row.getter().get(A, OFFICE), row.name());
        }
    }

    @Test
    void setSsidRenamesTheNetwork() {
        assertTrue(setEAPIdentity0(A, OFFICE, "me"));
        assertTrue(setSsid0(A, OFFICE, "lab"));
        assertNull(getEAPIdentity0(A, OFFICE));
        assertEquals(2, getNetworkMode0(A, OFFICE));
        assertEquals("me", getEAPIdentity0(A, "lab"));
        assertArrayEquals(new String[] {HOME, "lab"}, getNetworkDatabaseSsids0(A));
        assertFalse(setSsid0(A, "lab", "lab"), "same name");
        assertFalse(setSsid0(A, OFFICE, "elsewhere"), "old name finds nothing");
    }

    // ---- secrets --------------------------------------------------------

    record SecretRow(String name, String variable, TextSetter setter, TextGetter getter) {}

    static final List<SecretRow> SECRETS = List.of(
            new SecretRow("preSharedKey", "psk", BWifiPlatformService::setPreSharedKey0,
                    BWifiPlatformService::getPreSharedKey0),
            new SecretRow("eapPassword", "password", BWifiPlatformService::setEAPPassword0,
                    BWifiPlatformService::getEAPPassword0),
            new SecretRow("privateKeyPassword", "private_key_passwd",
                    BWifiPlatformService::setPrivateKeyPassword0,
                    BWifiPlatformService::getPrivateKeyPassword0),
            new SecretRow("privateKeyPassword2", "private_key_passwd2",
                    BWifiPlatformService::setPrivateKeyPassword20,
                    BWifiPlatformService::getPrivateKeyPassword20));

    @Test
    void secretsCrossOnlyEncrypted() {
        for (SecretRow row : SECRETS) {
            String plain = "secret of " + row.name() + " \u00e9\u65e5\uD83D\uDD11";
            String cipher = encrypt(plain);
            assertNotNull(cipher);
            assertTrue(row.setter().set(A, OFFICE, cipher), row.name());
            assertFalse(row.setter().set(A, OFFICE, encrypt(plain)), row.name() + " same plain text");

            String out = row.getter().get(A, OFFICE);
            assertNotNull(out, row.name());
            assertFalse(out.contains("secret"), row.name() + " leaves in plain text: " + out);
            assertEquals(plain, decrypt(out), row.name());
            assertNull(row.getter().get(A, HOME), row.name() + " of home");
            assertNull(row.getter().get(A, "nowhere"), row.name());
            assertFalse(row.setter().set(A, "nowhere", cipher), row.name());
        }

        // The daemon receives the plain text.
        clearCalls();
        assertTrue(saveHostSettings0());
        List<String> written = Arrays.asList(calls("setNetworkVariable"));
        for (SecretRow row : SECRETS) {
            String expected = "setNetworkVariable(wlan0, 0, " + row.variable() + ", secret of "
                    + row.name() + " \u00e9\u65e5\uD83D\uDD11)";
            assertTrue(written.contains(expected), expected + " in " + written);
        }
    }

    @Test
    void undecryptableSecretsLeaveTheStoredOne() {
        for (SecretRow row : SECRETS) {
            assertTrue(row.setter().set(A, OFFICE, encrypt("kept")), row.name());
            for (String garbage : List.of("not a cipher text", "AAAA", "\u00e9\uD83D\uDD11",
                    encrypt("kept").substring(4))) {
                assertThrows(IllegalStateException.class, () -> row.setter().set(A, OFFICE, garbage),
                        row.name() + " with " + garbage);
            }
            assertEquals("kept", decrypt(row.getter().get(A, OFFICE)), row.name());
        }
    }

    @Test
    void emptyAndNullSecretsPassUndecrypted() {
        for (SecretRow row : SECRETS) {
            // Nothing stored: empty stores nothing.
            assertFalse(row.setter().set(A, HOME, ""), row.name());
            assertNull(row.getter().get(A, HOME), row.name());
            // A stored secret becomes the empty text, then stays.
            assertTrue(row.setter().set(A, OFFICE, encrypt("pw")), row.name());
            assertTrue(row.setter().set(A, OFFICE, ""), row.name());
            assertEquals("", decrypt(row.getter().get(A, OFFICE)), row.name());
            assertFalse(row.setter().set(A, OFFICE, null), row.name());
            // Null removes a stored secret.
            assertTrue(row.setter().set(A, OFFICE, encrypt("pw")), row.name());
            assertTrue(row.setter().set(A, OFFICE, null), row.name());
            assertNull(row.getter().get(A, OFFICE), row.name());
        }
    }

    // ---- WEP keys -------------------------------------------------------

    @Test
    void wepKeysComeAsFourSlots() {
        assertArrayEquals(new String[] {"", "", "", ""}, getWepKeys0(A, OFFICE));
        assertTrue(setWepKey0(A, OFFICE, 2, "0123456789"));
        assertArrayEquals(new String[] {"", "", "0123456789", ""}, getWepKeys0(A, OFFICE));
        assertTrue(setWepKey0(A, OFFICE, 0, "k\u00e9y0"));
        assertArrayEquals(new String[] {"k\u00e9y0", "", "0123456789", ""}, getWepKeys0(A, OFFICE));
        assertFalse(setWepKey0(A, OFFICE, 4, "x"));
        assertFalse(setWepKey0(A, OFFICE, -1, "x"));
        assertFalse(setWepKey0(A, "nowhere", 1, "x"));
        assertArrayEquals(new String[] {"", "", "", ""}, getWepKeys0(A, "nowhere"));
        assertArrayEquals(new String[] {"", "", "", ""}, getWepKeys0(A, HOME));
    }

    // ---- service natives ------------------------------------------------

    @Test
    void networkStatusAsksTheDaemonAtMostOncePer5000Ms() {
        networks("0\toffice\tany\t[DISABLED]", "1\thome\tany\t");
        clearCalls();
        int before = getNetworkStatus0(A, OFFICE);
        for (int i = 0; i < 20; i++) assertEquals(before, getNetworkStatus0(A, OFFICE));
        assertEquals(0, calls("listNetworks").length, "within 5000 ms of the load");

        advanceClock(5000);
        for (int i = 0; i < 20; i++) assertEquals(5, getNetworkStatus0(A, OFFICE));
        assertEquals(1, calls("listNetworks").length);
        assertEquals(1, getNetworkStatus0(A, HOME));

        advanceClock(4999);
        for (int i = 0; i < 20; i++) getNetworkStatus0(A, HOME);
        assertEquals(1, calls("listNetworks").length);
        advanceClock(1);
        getNetworkStatus0(A, HOME);
        assertEquals(2, calls("listNetworks").length);
        assertEquals(0, getNetworkStatus0(A, "nowhere"));
    }

    @Test
    void nonAsciiSsidsSurviveTheRoundTrip() {
        List<String> names = List.of("caf\u00e9", "\u65e5\u672c", "\uD83D\uDCF6 home",
                "mix \u00e9\u65e5\uD83D\uDE00\uD834\uDD1E");
        for (String name : names) {
            assertTrue(addNetwork0(A, name), name);
            assertTrue(setEAPIdentity0(A, name, "id " + name), name);
        }
        List<String> expected = new ArrayList<>();
        for (int i = names.size() - 1; i >= 0; i--) expected.add(names.get(i));
        expected.add(HOME);
        expected.add(OFFICE);
        assertEquals(expected, Arrays.asList(getNetworkDatabaseSsids0(A)));
        for (String name : names) {
            assertEquals("id " + name, getEAPIdentity0(A, name), name);
            assertTrue(Arrays.asList(calls("addNetwork")).contains("addNetwork(wlan0, " + name + ")"),
                    name + " reached the daemon as UTF-8");
        }

        // A rename to a non-ASCII name, and the current network by that name.
        String renamed = "\u00e9t\u00e9 \uD83C\uDF1E";
        assertTrue(setEAPIdentity0(A, OFFICE, "office id"));
        assertTrue(setSsid0(A, OFFICE, renamed));
        assertEquals("office id", getEAPIdentity0(A, renamed), "found by the new name");
        status("wpa_state=COMPLETED", "ssid=" + renamed);
        assertEquals(renamed, getCurrentNetwork0(A));

        // Names the daemon reports, and its scan lines.
        networks("0\t\u00e9t\u00e9\tany\t[CURRENT]", "1\t\uD83D\uDCF6\tany\t");
        String scanLine = "aa:bb:cc:dd:ee:ff\t2412\t200\t[WPA2-PSK]\t\uD83D\uDCF6";
        scanResults(scanLine);
        result("scan", true);
        assertTrue(unloadWifiSettings0());
        assertArrayEquals(new String[] {"\uD83D\uDCF6", "\u00e9t\u00e9"}, getNetworkDatabaseSsids0(A));
        assertArrayEquals(new String[] {scanLine}, discoverNetworks0(A));
    }

    @Test
    void serviceNativesReachTheDaemon() {
        assertArrayEquals(new String[] {A}, getWifiAdapters0());
        assertEquals(8, getDaemonStatus0(A));
        assertEquals(OFFICE, getCurrentNetwork0(A));

        // Discovery asks nothing more once the scan fails.
        clearCalls();
        assertNull(discoverNetworks0(A));
        assertArrayEquals(new String[] {"scan(wlan0)"}, calls(null));
        result("scan", true);
        scanResults("line one", "line two");
        assertArrayEquals(new String[] {"line one", "line two"}, discoverNetworks0(A));
        scanResults();
        assertArrayEquals(new String[] {}, discoverNetworks0(A));

        clearCalls();
        assertFalse(isWifiEnabled0(null));
        result("isWifiEnabled", true);
        assertTrue(isWifiEnabled0(A));
        assertArrayEquals(new String[] {"isWifiEnabled(null)", "isWifiEnabled(wlan0)"}, calls(null));
        assertFalse(hashCACertificates0());
        result("hashCACertificates", true);
        assertTrue(hashCACertificates0());

        clearCalls();
        assertTrue(connectToNetwork0(A, HOME));
        assertEquals(1, calls("selectNetwork").length);
        assertEquals("selectNetwork(wlan0, 1)", calls("selectNetwork")[0]);
        assertFalse(connectToNetwork0(A, "nowhere"));
        assertTrue(disconnectFromNetwork0(A, HOME));
        assertEquals("disconnectNetwork(wlan0, 1)", calls("disconnectNetwork")[0]);
        result("reconnect", false);
        assertFalse(roamNetworks0(A));
        result("reconnect", true);
        assertTrue(roamNetworks0(A));

        clearCalls();
        assertFalse(addNetwork0(A, HOME), "already there");
        assertEquals(0, calls("addNetwork").length);
        assertTrue(addNetwork0(A, "new"));
        assertEquals("addNetwork(wlan0, new)", calls("addNetwork")[0]);
        assertTrue(removeNetwork0(A, HOME));
        assertEquals("removeNetwork(wlan0, 1)", calls("removeNetwork")[0]);
        result("removeNetwork", false);
        assertFalse(removeNetwork0(A, "new"));
        assertArrayEquals(new String[] {"new", OFFICE}, getNetworkDatabaseSsids0(A));

        clearCalls();
        assertTrue(setEAPIdentity0(A, OFFICE, "me"));
        assertTrue(saveHostSettings0());
        List<String> saved = Arrays.asList(calls(null));
        assertTrue(saved.contains("setNetworkVariable(wlan0, 0, identity, me)"), saved.toString());
        assertTrue(saved.contains("saveConfig(wlan0)"), saved.toString());
        assertTrue(saved.contains("reloadConfig(wlan0)"), saved.toString());
        result("saveConfig", false);
        assertTrue(setEAPIdentity0(A, OFFICE, "you"));
        assertFalse(saveHostSettings0());

        assertTrue(unloadWifiSettings0());
        adapters(A, "wlan1");
        assertArrayEquals(new String[] {A, "wlan1"}, getWifiAdapters0());
    }

    @Test
    void databaseListsAtMost32Ssids() {
        for (int i = 0; i < 33; i++) assertTrue(addNetwork0(A, "n" + i));
        String[] ssids = getNetworkDatabaseSsids0(A);
        assertEquals(32, ssids.length);
        for (int i = 0; i < 32; i++) assertEquals("n" + (32 - i), ssids[i]);
    }

    @Test
    void nullStringsOnALoadedDatabase() throws Exception {
        // Home stays for the setters that come after removeNetwork0.
        result("removeNetwork", false);
        int calls = NativeMethods.callWithNullStrings(A, HOME);
        assertTrue(calls > NativeMethods.COUNT);
        // The other network is untouched and still found.
        assertEquals(OFFICE, getCurrentNetwork0(A));
        assertTrue(setEAPIdentity0(A, OFFICE, "still here"));
    }
}
