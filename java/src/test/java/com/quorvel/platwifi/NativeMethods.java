package com.quorvel.platwifi;

import static com.quorvel.platwifi.testing.DaemonScriptBridge.*;

import java.lang.reflect.*;
import java.util.*;
import java.util.stream.Collectors;

/** The natives of BWifiPlatformService: found by reflection, called by name, and tabled. */
final class NativeMethods {
    static final String A = "wlan0";
    /** By name, in name order. */
    static final Map<String, Method> NATIVES = Arrays.stream(BWifiPlatformService.class.getDeclaredMethods())
            .filter(method -> Modifier.isNative(method.getModifiers()))
            .collect(Collectors.toMap(Method::getName, method -> method, (one, other) -> one, TreeMap::new));

    /** How a setter answers the same value twice. */
    enum Kind { ONCE, ALWAYS, SECRET }

    /** A per-network parameter and the value the scripted tests set (plain text for secrets). */
    record Parameter(String getter, String setter, Object value, Kind kind) {
        Parameter(String name, Object value, Kind kind) {
            this("get" + name + "0", "set" + name + "0", value, kind);
        }

        /** The value as the setter takes it: secrets encrypted, afresh on every call. */
        Object sent() { return kind == Kind.SECRET ? encrypt((String) value) : value; }
    }

    /**
     * The parameters a setter changes and a getter reads (getNetworkStatus0
     * rides along with its setter); the 8-bit ones and the ciphers convert
     * their values and are ScriptedLibraryTest's own matter.
     */
    static final List<Parameter> PARAMETERS = new ArrayList<>(List.of(
            new Parameter("getStrength0", "setSignalStrength0", 37, Kind.ALWAYS),
            new Parameter("NetworkStatus", 3, Kind.ALWAYS),
            new Parameter("getBssid0", "setPreferredBssid0", "00:11:22:33:44:55", Kind.ONCE)));

    static {
        Map.of("KeyManagement", 4, "Protocol", 2, "Authentication", 3, "EAPMethod", 32, "WepIndex", 1)
                .forEach((name, value) -> PARAMETERS.add(new Parameter(name, value, Kind.ONCE)));
        List.of("EAPIdentity", "EAPAnonymousIdentity", "TunnelPhase1", "TunnelPhase2", "CACertificate", "CACertificateDir",
                "ClientCertificate", "PrivateKeyFile", "CACertificate2", "CACertificateDir2", "ClientCertificate2",
                "PrivateKeyFile2").forEach(text -> PARAMETERS.add(new Parameter(text, text + " \u00e9", Kind.ONCE)));
        List.of("PreSharedKey", "EAPPassword", "PrivateKeyPassword", "PrivateKeyPassword2").forEach(secret ->
                PARAMETERS.add(new Parameter(secret, secret + " \u00e9\u65e5\uD83D\uDD11", Kind.SECRET)));
    }

    /**
     * What a native answers without a database, or for a network not in it:
     * the zero of its type but for these. An unknown network counts as
     * removed and as disconnected; with nothing changed nothing needed saving.
     */
    static final Map<String, Object> UNLOADED = Map.of("getNetworkMode0", 2, "getWepKeys0", List.of("", "", "", ""),
            "getWifiAdapters0", List.of(), "getNetworkDatabaseSsids0", List.of(), "removeNetwork0", true,
            "disconnectFromNetwork0", true, "saveHostSettings0", true, "unloadWifiSettings0", true);

    static Object unloadedAnswer(String name) {
        Class<?> type = NATIVES.get(name).getReturnType();
        return UNLOADED.getOrDefault(name, type == int.class ? 0 : type == boolean.class ? false : null);
    }

    /** The daemon's operations that answer only success or failure. */
    static final List<String> OPERATIONS = List.of("scan", "isWifiEnabled", "hashCACertificates", "addNetwork",
            "removeNetwork", "selectNetwork", "disconnectNetwork", "reconnect", "setNetworkVariable", "setNetworkBssid",
            "saveConfig", "reloadConfig");

    /**
     * A fresh scripted daemon on adapter A listing these lines, current per
     * the status; every operation succeeds, a new network gets the id 0.
     */
    static void script(String current, String... networks) {
        BWifiPlatformService.unloadWifiSettings0();
        reset();
        setClock(1_000_000L);
        adapters(A);
        networks(networks);
        scanResults();
        status("wpa_state=COMPLETED", "ssid=" + current);
        OPERATIONS.forEach(operation -> result(operation, true));
    }

    /** Calls a native; an IllegalStateException it throws comes back as the answer. */
    static Object call(String name, Object... arguments) {
        try {
            return NATIVES.get(name).invoke(null, arguments);
        } catch (ReflectiveOperationException e) {
            if (e.getCause() instanceof IllegalStateException thrown) return thrown;
            throw new AssertionError(name, e);
        }
    }

    /**
     * Calls a native with strings adapter, ssid and "value" in argument order
     * (the one at nulled null), numbers 1; an array answer comes as a list.
     */
    static Object callOn(String name, String adapter, String ssid, int nulled) {
        Class<?>[] types = NATIVES.get(name).getParameterTypes();
        String[] strings = {adapter, ssid, "value"};  // adapter and network always come first
        Object[] arguments = new Object[types.length];
        for (int i = 0; i < types.length; i++) {
            arguments[i] = types[i] == byte.class ? (Object) (byte) 1 : types[i] == int.class ? (Object) 1
                    : i == nulled ? null : strings[Math.min(i, 2)];
        }
        Object answer = call(name, arguments);
        return answer instanceof Object[] array ? Arrays.asList(array) : answer;
    }
}
