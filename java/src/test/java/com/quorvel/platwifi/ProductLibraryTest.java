package com.quorvel.platwifi;

import static com.quorvel.platwifi.BWifiPlatformService.*;
import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertNotNull;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import com.quorvel.platwifi.testing.DaemonScriptBridge;
import java.lang.reflect.Method;
import java.lang.reflect.Modifier;
import java.util.ArrayList;
import java.util.List;
import java.util.Map;
import java.util.Set;
import java.util.TreeMap;
import java.util.TreeSet;
import java.util.function.Supplier;
import org.junit.jupiter.api.Test;

/**
 * The product library on the real JVM. Its backend answers nothing, so every
 * instance ends up unloaded: no adapters, no database.
 */
class ProductLibraryTest {
    private static final String A = "wlan0";
    private static final String S = "office";
    private static final String[] NO_STRINGS = {};
    private static final String[] FOUR_EMPTY_KEYS = {"", "", "", ""};

    private record Answer(String name, Supplier<Object> call, Object expected) {}

    private static Answer answer(String name, Supplier<Object> call, Object expected) {
        return new Answer(name, call, expected);
    }

    /** Every native with what an unloaded instance answers. */
    private static List<Answer> unloadedAnswers() {
        List<Answer> answers = new ArrayList<>();
        // Numeric getters: 0, the network mode 2 (unknown).
        answers.add(answer("getKeyManagement0", () -> getKeyManagement0(A, S), 0));
        answers.add(answer("getProtocol0", () -> getProtocol0(A, S), 0));
        answers.add(answer("getAuthentication0", () -> getAuthentication0(A, S), 0));
        answers.add(answer("getEAPMethod0", () -> getEAPMethod0(A, S), 0));
        answers.add(answer("getWepIndex0", () -> getWepIndex0(A, S), 0));
        answers.add(answer("getStrength0", () -> getStrength0(A, S), 0));
        answers.add(answer("getChannel0", () -> getChannel0(A, S), 0));
        answers.add(answer("getNetworkMode0", () -> getNetworkMode0(A, S), 2));
        answers.add(answer("getPriority0", () -> getPriority0(A, S), 0));
        answers.add(answer("getSsidBroadcasted0", () -> getSsidBroadcasted0(A, S), false));
        answers.add(answer("getSupportedEncrytptionMethods0", () -> getSupportedEncrytptionMethods0(A, S), 0));
        // Numeric setters: false.
        answers.add(answer("setKeyManagement0", () -> setKeyManagement0(A, S, 2), false));
        answers.add(answer("setProtocol0", () -> setProtocol0(A, S, 2), false));
        answers.add(answer("setAuthentication0", () -> setAuthentication0(A, S, 1), false));
        answers.add(answer("setEAPMethod0", () -> setEAPMethod0(A, S, 4), false));
        answers.add(answer("setWepIndex0", () -> setWepIndex0(A, S, 1), false));
        answers.add(answer("setSignalStrength0", () -> setSignalStrength0(A, S, 30), false));
        answers.add(answer("setNetworkMode0", () -> setNetworkMode0(A, S, (byte) 1), false));
        answers.add(answer("setNetworkStatus0", () -> setNetworkStatus0(A, S, 3), false));
        answers.add(answer("setPriority0", () -> setPriority0(A, S, (byte) 5), false));
        answers.add(answer("setSsidBroadcasted0", () -> setSsidBroadcasted0(A, S, (byte) 1), false));
        answers.add(answer("setEncryption0", () -> setEncryption0(A, S, 6), false));
        // Texts: null getters, false setters.
        answers.add(answer("setSsid0", () -> setSsid0(A, S, "lab"), false));
        answers.add(answer("getBssid0", () -> getBssid0(A, S), null));
        answers.add(answer("setPreferredBssid0", () -> setPreferredBssid0(A, S, "00:11:22:33:44:55"), false));
        answers.add(answer("getEAPIdentity0", () -> getEAPIdentity0(A, S), null));
        answers.add(answer("setEAPIdentity0", () -> setEAPIdentity0(A, S, "me"), false));
        answers.add(answer("getEAPAnonymousIdentity0", () -> getEAPAnonymousIdentity0(A, S), null));
        answers.add(answer("setEAPAnonymousIdentity0", () -> setEAPAnonymousIdentity0(A, S, "anon"), false));
        answers.add(answer("getCACertificate0", () -> getCACertificate0(A, S), null));
        answers.add(answer("setCACertificate0", () -> setCACertificate0(A, S, "/ca.pem"), false));
        answers.add(answer("getCACertificateDir0", () -> getCACertificateDir0(A, S), null));
        answers.add(answer("setCACertificateDir0", () -> setCACertificateDir0(A, S, "/ca"), false));
        answers.add(answer("getClientCertificate0", () -> getClientCertificate0(A, S), null));
        answers.add(answer("setClientCertificate0", () -> setClientCertificate0(A, S, "/c.pem"), false));
        answers.add(answer("getPrivateKeyFile0", () -> getPrivateKeyFile0(A, S), null));
        answers.add(answer("setPrivateKeyFile0", () -> setPrivateKeyFile0(A, S, "/k.pem"), false));
        answers.add(answer("getTunnelPhase10", () -> getTunnelPhase10(A, S), null));
        answers.add(answer("setTunnelPhase10", () -> setTunnelPhase10(A, S, "peaplabel=0"), false));
        answers.add(answer("getTunnelPhase20", () -> getTunnelPhase20(A, S), null));
        answers.add(answer("setTunnelPhase20", () -> setTunnelPhase20(A, S, "auth=MSCHAPV2"), false));
        answers.add(answer("getCACertificate20", () -> getCACertificate20(A, S), null));
        answers.add(answer("setCACertificate20", () -> setCACertificate20(A, S, "/ca2.pem"), false));
        answers.add(answer("getCACertificateDir20", () -> getCACertificateDir20(A, S), null));
        answers.add(answer("setCACertificateDir20", () -> setCACertificateDir20(A, S, "/ca2"), false));
        answers.add(answer("getClientCertificate20", () -> getClientCertificate20(A, S), null));
        answers.add(answer("setClientCertificate20", () -> setClientCertificate20(A, S, "/c2.pem"), false));
        answers.add(answer("getPrivateKeyFile20", () -> getPrivateKeyFile20(A, S), null));
        answers.add(answer("setPrivateKeyFile20", () -> setPrivateKeyFile20(A, S, "/k2.pem"), false));
        // Secrets: the setters fail before anything is decrypted.
        answers.add(answer("getPreSharedKey0", () -> getPreSharedKey0(A, S), null));
        answers.add(answer("setPreSharedKey0", () -> setPreSharedKey0(A, S, "not a cipher text"), false));
        answers.add(answer("getEAPPassword0", () -> getEAPPassword0(A, S), null));
        answers.add(answer("setEAPPassword0", () -> setEAPPassword0(A, S, ""), false));
        answers.add(answer("getPrivateKeyPassword0", () -> getPrivateKeyPassword0(A, S), null));
        answers.add(answer("setPrivateKeyPassword0", () -> setPrivateKeyPassword0(A, S, "x"), false));
        answers.add(answer("getPrivateKeyPassword20", () -> getPrivateKeyPassword20(A, S), null));
        answers.add(answer("setPrivateKeyPassword20", () -> setPrivateKeyPassword20(A, S, "x"), false));
        // WEP keys: always four slots.
        answers.add(answer("getWepKeys0", () -> getWepKeys0(A, S), FOUR_EMPTY_KEYS));
        answers.add(answer("setWepKey0", () -> setWepKey0(A, S, 0, "k"), false));
        // Service natives.
        answers.add(answer("discoverNetworks0", () -> discoverNetworks0(A), null));
        answers.add(answer("isWifiEnabled0", () -> isWifiEnabled0(A), false));
        answers.add(answer("hashCACertificates0", () -> hashCACertificates0(), false));
        answers.add(answer("getWifiAdapters0", () -> getWifiAdapters0(), NO_STRINGS));
        answers.add(answer("getNetworkDatabaseSsids0", () -> getNetworkDatabaseSsids0(A), NO_STRINGS));
        answers.add(answer("addNetwork0", () -> addNetwork0(A, S), false));
        // An unknown network counts as removed and as disconnected.
        answers.add(answer("removeNetwork0", () -> removeNetwork0(A, S), true));
        answers.add(answer("connectToNetwork0", () -> connectToNetwork0(A, S), false));
        answers.add(answer("disconnectFromNetwork0", () -> disconnectFromNetwork0(A, S), true));
        answers.add(answer("roamNetworks0", () -> roamNetworks0(A), false));
        // Nothing changed, so nothing needed saving.
        answers.add(answer("saveHostSettings0", () -> saveHostSettings0(), true));
        answers.add(answer("getDaemonStatus0", () -> getDaemonStatus0(A), 0));
        answers.add(answer("getNetworkStatus0", () -> getNetworkStatus0(A, S), 0));
        answers.add(answer("getCurrentNetwork0", () -> getCurrentNetwork0(A), null));
        answers.add(answer("unloadWifiSettings0", () -> unloadWifiSettings0(), true));
        return answers;
    }

    private static void assertAnswer(Answer answer, Object actual) {
        if (answer.expected() instanceof String[] expected) {
            assertNotNull(actual, answer.name());
            assertArrayEquals(expected, (String[]) actual, answer.name());
        } else {
            assertEquals(answer.expected(), actual, answer.name());
        }
    }

    @Test
    void declarationsMatchTheCFunctions() throws Exception {
        Map<String, String> declared = new TreeMap<>();
        for (Method method : NativeMethods.all()) {
            assertTrue(Modifier.isStatic(method.getModifiers()), method.getName());
            assertTrue(Modifier.isPublic(method.getModifiers()), method.getName());
            declared.put(method.getName(), NativeMethods.descriptor(method));
        }
        Map<String, String> listed = NativeMethods.listedDescriptors();
        List<String> differences = new ArrayList<>();
        Set<String> names = new TreeSet<>(listed.keySet());
        names.addAll(declared.keySet());
        for (String name : names) {
            String inJava = declared.get(name);
            String inList = listed.get(name);
            if (inJava == null || !inJava.equals(inList)) {
                differences.add(name + ": Java " + inJava + ", natives.txt " + inList);
            }
        }
        assertEquals(List.of(), differences);
        assertEquals(NativeMethods.COUNT, declared.size());
    }

    @Test
    void everyNativeAnswersAsAnUnloadedInstance() {
        List<Answer> answers = unloadedAnswers();
        Set<String> covered = new TreeSet<>();
        for (Answer answer : answers) covered.add(answer.name());
        assertEquals(NativeMethods.COUNT, answers.size());
        assertEquals(NativeMethods.names(), covered);

        // Twice: on the instance the first call creates, then on one created
        // after unloadWifiSettings0 (the last entry) destroyed it.
        for (int round = 0; round < 2; round++) {
            for (Answer answer : answers) assertAnswer(answer, answer.call().get());
        }
    }

    @Test
    void unloadIsFollowedByAFreshInstance() {
        for (int round = 0; round < 3; round++) {
            assertTrue(unloadWifiSettings0());
            assertTrue(unloadWifiSettings0(), "unloading without an instance");
            assertArrayEquals(NO_STRINGS, getNetworkDatabaseSsids0(A));
            assertArrayEquals(NO_STRINGS, getWifiAdapters0());
            assertEquals(2, getNetworkMode0(A, S));
            assertArrayEquals(FOUR_EMPTY_KEYS, getWepKeys0(A, S));
            assertEquals(0, getDaemonStatus0(A));
        }
        // The daemon natives don't need an instance at all.
        assertTrue(unloadWifiSettings0());
        assertEquals(null, discoverNetworks0(A));
        assertEquals(false, isWifiEnabled0(null));
        assertEquals(false, hashCACertificates0());
    }

    @Test
    void nullStringsNeitherCrashNorThrowAnythingButIllegalState() throws Exception {
        int calls = NativeMethods.callWithNullStrings(A, S);
        assertTrue(calls > NativeMethods.COUNT, "calls made: " + calls);
        // The library still answers afterwards.
        assertArrayEquals(NO_STRINGS, getNetworkDatabaseSsids0(A));
        assertTrue(unloadWifiSettings0());
    }

    @Test
    void holdsNoTestCode() {
        assertThrows(UnsatisfiedLinkError.class, DaemonScriptBridge::reset);
    }
}
