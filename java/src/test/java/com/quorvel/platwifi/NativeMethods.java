package com.quorvel.platwifi;

import static com.quorvel.platwifi.testing.DaemonScriptBridge.*;

import java.io.IOException;
import java.io.InputStream;
import java.lang.invoke.MethodType;
import java.lang.reflect.*;
import java.nio.charset.StandardCharsets;
import java.util.*;
import java.util.stream.Collectors;

/** The natives of BWifiPlatformService: found by reflection, called by name, and tabled. */
final class NativeMethods {
    static final String A = "wlan0";
    /** By name, in name order. */
    static final Map<String, Method> NATIVES = new TreeMap<>();

    static {
        for (Method method : BWifiPlatformService.class.getDeclaredMethods()) {
            if (Modifier.isNative(method.getModifiers())) NATIVES.put(method.getName(), method);
        }
    }

    /** How a setter answers the same value twice. */
    enum Kind { ONCE, ALWAYS, SECRET }

    /**
     * A per-network parameter: its getter and setter (either may be absent),
     * the value the scripted tests set (plain text for secrets), what the
     * getter then reads, and what it reads for an unknown network.
     */
    record Parameter(String getter, String setter, Object value, Object stored, Object missing, Kind kind) {
        Parameter(String name, String value, Kind kind) {
            this("get" + name + "0", "set" + name + "0", value, value, null, kind);
        }
    }

    /** The 59 parameter natives (getNetworkStatus0 rides along with its setter). */
    static final List<Parameter> PARAMETERS = new ArrayList<>(List.of(
            new Parameter("getStrength0", "setSignalStrength0", 37, 37, 0, Kind.ALWAYS),
            new Parameter("getChannel0", null, null, null, 0, Kind.ONCE),
            new Parameter("getNetworkMode0", "setNetworkMode0", (byte) 0, 0, 2, Kind.ONCE),
            new Parameter("getNetworkStatus0", "setNetworkStatus0", 3, 3, 0, Kind.ALWAYS),
            new Parameter("getPriority0", "setPriority0", (byte) 7, 7, 0, Kind.ONCE),
            new Parameter("getSsidBroadcasted0", "setSsidBroadcasted0", (byte) 1, true, false, Kind.ALWAYS),
            new Parameter("getSupportedEncrytptionMethods0", "setEncryption0", 6, 6, 0, Kind.ONCE),
            new Parameter("getWepKeys0", "setWepKey0", null, null, List.of("", "", "", ""), Kind.ONCE),
            new Parameter(null, "setSsid0", null, null, null, Kind.ONCE),
            new Parameter("getBssid0", "setPreferredBssid0", "00:11:22:33:44:55", "00:11:22:33:44:55", null, Kind.ONCE)));

    static {
        Map.of("KeyManagement", 4, "Protocol", 2, "Authentication", 3, "EAPMethod", 32, "WepIndex", 1).forEach((name, value)
                -> PARAMETERS.add(new Parameter("get" + name + "0", "set" + name + "0", value, value, 0, Kind.ONCE)));
        for (String text : List.of("EAPIdentity", "EAPAnonymousIdentity", "CACertificate", "CACertificateDir",
                "ClientCertificate", "PrivateKeyFile", "TunnelPhase1", "TunnelPhase2", "CACertificate2",
                "CACertificateDir2", "ClientCertificate2", "PrivateKeyFile2")) {
            PARAMETERS.add(new Parameter(text, text + " \u00e9", Kind.ONCE));
        }
        for (String secret : List.of("PreSharedKey", "EAPPassword", "PrivateKeyPassword", "PrivateKeyPassword2")) {
            PARAMETERS.add(new Parameter(secret, secret + " \u00e9\u65e5\uD83D\uDD11", Kind.SECRET));
        }
    }

    private NativeMethods() {}

    /** A fresh scripted daemon on adapter A listing these lines, current per the status; every operation succeeds. */
    static void script(String current, String... networks) {
        BWifiPlatformService.unloadWifiSettings0();
        reset();
        setClock(1_000_000L);
        adapters(A);
        networks(networks);
        scanResults();
        status("wpa_state=COMPLETED", "ssid=" + current);
        List.of("addNetwork", "removeNetwork", "selectNetwork", "disconnectNetwork", "reconnect", "setNetworkVariable",
                "setNetworkBssid", "saveConfig", "reloadConfig").forEach(operation -> result(operation, true));
        nextNetworkId(9);
    }

    /** "(Ljava/lang/String;B)Z" and the like; null for none. An instance method is marked. */
    static String descriptor(Method method) {
        if (method == null) return null;
        String descriptor =
                MethodType.methodType(method.getReturnType(), method.getParameterTypes()).toMethodDescriptorString();
        return Modifier.isStatic(method.getModifiers()) ? descriptor : "instance " + descriptor;
    }

    /** natives.txt: the descriptors the C declarations are tested against too. */
    static Map<String, String> listedDescriptors() throws IOException {
        try (InputStream in = NativeMethods.class.getResourceAsStream("natives.txt")) {
            return new String(in.readAllBytes(), StandardCharsets.UTF_8).lines()
                    .filter(line -> !line.isBlank() && !line.startsWith("#")).map(line -> line.trim().split(" "))
                    .collect(Collectors.toMap(parts -> parts[0], parts -> parts[1], (a, b) -> a + " and " + b));
        }
    }

    /** Calls a native; what it throws comes out as it is. */
    static Object call(String name, Object... arguments) {
        try {
            return NATIVES.get(name).invoke(null, arguments);
        } catch (ReflectiveOperationException e) {
            if (e.getCause() instanceof RuntimeException thrown) throw thrown;
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
            arguments[i] = types[i] != String.class ? (types[i] == byte.class ? (Object) (byte) 1 : (Object) 1)
                    : i == nulled ? null : strings[Math.min(i, 2)];
        }
        Object answer = call(name, arguments);
        return answer instanceof Object[] array ? Arrays.asList(array) : answer;
    }

    /** Every native with each string argument null in turn: any answer or IllegalStateException, nothing else. */
    static void callWithNullStrings(String adapter, String ssid) {
        for (Method method : NATIVES.values()) {
            for (int nulled = 0; nulled < method.getParameterCount(); nulled++) {
                try {
                    callOn(method.getName(), adapter, ssid, nulled);
                } catch (IllegalStateException expected) {
                }
            }
        }
    }
}
