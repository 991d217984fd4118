package com.quorvel.platwifi;

import static org.junit.jupiter.api.Assertions.*;

import java.io.IOException;
import java.io.InputStream;
import java.lang.reflect.*;
import java.nio.charset.StandardCharsets;
import java.util.*;
import java.util.stream.Collectors;

/** The natives of BWifiPlatformService: found by reflection, called by name, and tabled. */
final class NativeMethods {
    static final int COUNT = 74;
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
        Parameter(String getter, String setter, String value, Kind kind) {
            this(getter, setter, value, value, null, kind);
        }
    }

    /** The 59 parameter natives (getNetworkStatus0 rides along with its setter). */
    static final List<Parameter> PARAMETERS = List.of(
            new Parameter("getKeyManagement0", "setKeyManagement0", 4, 4, 0, Kind.ONCE),
            new Parameter("getProtocol0", "setProtocol0", 2, 2, 0, Kind.ONCE),
            new Parameter("getAuthentication0", "setAuthentication0", 3, 3, 0, Kind.ONCE),
            new Parameter("getEAPMethod0", "setEAPMethod0", 32, 32, 0, Kind.ONCE),
            new Parameter("getWepIndex0", "setWepIndex0", 1, 1, 0, Kind.ONCE),
            new Parameter("getStrength0", "setSignalStrength0", 37, 37, 0, Kind.ALWAYS),
            new Parameter("getChannel0", null, null, null, 0, Kind.ONCE),
            new Parameter("getNetworkMode0", "setNetworkMode0", (byte) 0, 0, 2, Kind.ONCE),
            new Parameter("getNetworkStatus0", "setNetworkStatus0", 3, 3, 0, Kind.ALWAYS),
            new Parameter("getPriority0", "setPriority0", (byte) 7, 7, 0, Kind.ONCE),
            new Parameter("getSsidBroadcasted0", "setSsidBroadcasted0", (byte) 1, true, false, Kind.ALWAYS),
            new Parameter("getSupportedEncrytptionMethods0", "setEncryption0", 6, 6, 0, Kind.ONCE),
            new Parameter("getWepKeys0", "setWepKey0", null, null, List.of("", "", "", ""), Kind.ONCE),
            new Parameter(null, "setSsid0", null, null, null, Kind.ONCE),
            new Parameter("getBssid0", "setPreferredBssid0", "00:11:22:33:44:55", Kind.ONCE),
            new Parameter("getEAPIdentity0", "setEAPIdentity0", "me", Kind.ONCE),
            new Parameter("getEAPAnonymousIdentity0", "setEAPAnonymousIdentity0", "anon", Kind.ONCE),
            new Parameter("getCACertificate0", "setCACertificate0", "/ca.pem", Kind.ONCE),
            new Parameter("getCACertificateDir0", "setCACertificateDir0", "/ca", Kind.ONCE),
            new Parameter("getClientCertificate0", "setClientCertificate0", "/c.pem", Kind.ONCE),
            new Parameter("getPrivateKeyFile0", "setPrivateKeyFile0", "/k.pem", Kind.ONCE),
            new Parameter("getTunnelPhase10", "setTunnelPhase10", "peaplabel=0", Kind.ONCE),
            new Parameter("getTunnelPhase20", "setTunnelPhase20", "auth=MSCHAPV2", Kind.ONCE),
            new Parameter("getCACertificate20", "setCACertificate20", "/ca2.pem", Kind.ONCE),
            new Parameter("getCACertificateDir20", "setCACertificateDir20", "/ca2", Kind.ONCE),
            new Parameter("getClientCertificate20", "setClientCertificate20", "/c2.pem", Kind.ONCE),
            new Parameter("getPrivateKeyFile20", "setPrivateKeyFile20", "/k2.pem", Kind.ONCE),
            new Parameter("getPreSharedKey0", "setPreSharedKey0", "psk \u00e9\u65e5\uD83D\uDD11", Kind.SECRET),
            new Parameter("getEAPPassword0", "setEAPPassword0", "password \u00e9", Kind.SECRET),
            new Parameter("getPrivateKeyPassword0", "setPrivateKeyPassword0", "key \uD83D\uDD11", Kind.SECRET),
            new Parameter("getPrivateKeyPassword20", "setPrivateKeyPassword20", "key 2", Kind.SECRET));

    private NativeMethods() {}

    /**
     * The JNI descriptor of a native, "(Ljava/lang/String;B)Z" and the like;
     * null for none. An instance method is marked: its C function would take
     * the object where the class is declared.
     */
    static String descriptor(Method method) {
        if (method == null) return null;
        StringBuilder descriptor = new StringBuilder(Modifier.isStatic(method.getModifiers()) ? "(" : "instance (");
        for (Class<?> type : method.getParameterTypes()) descriptor.append(code(type));
        return descriptor.append(')').append(code(method.getReturnType())).toString();
    }

    private static String code(Class<?> type) {
        if (type.isArray()) return "[" + code(type.getComponentType());
        if (!type.isPrimitive()) return "L" + type.getName().replace('.', '/') + ";";
        return Map.of(boolean.class, "Z", byte.class, "B", int.class, "I", long.class, "J", void.class, "V")
                .getOrDefault(type, "?");
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
     * Calls a native with strings adapter, ssid and "value" in argument order,
     * and numbers 1; an array answer comes as a list, to compare with equals.
     */
    static Object callOn(String name, String adapter, String ssid) {
        Object answer = call(name, arguments(NATIVES.get(name), adapter, ssid));
        return answer instanceof Object[] array ? Arrays.asList(array) : answer;
    }

    private static Object[] arguments(Method method, String adapter, String ssid) {
        Class<?>[] types = method.getParameterTypes();
        String[] strings = {adapter, ssid, "value"};
        Object[] arguments = new Object[types.length];
        for (int i = 0, nextString = 0; i < types.length; i++) {
            if (types[i] == String.class) arguments[i] = strings[Math.min(nextString++, 2)];
            else arguments[i] = types[i] == byte.class ? (Object) (byte) 1 : (Object) 1;
        }
        return arguments;
    }

    /**
     * Calls every native that takes strings as callOn would, once with each
     * string argument null and once with all of them null. A call may return
     * anything and may throw IllegalStateException, nothing else.
     */
    static void callWithNullStrings(String adapter, String ssid) throws IllegalAccessException {
        for (Method method : NATIVES.values()) {
            Object[] template = arguments(method, adapter, ssid);
            for (int nulled = -1; nulled < template.length && template.length > 0; nulled++) {
                if (nulled >= 0 && !(template[nulled] instanceof String)) continue;
                Object[] arguments = template.clone();
                for (int i = 0; i < arguments.length; i++) {
                    if ((nulled < 0 || nulled == i) && arguments[i] instanceof String) arguments[i] = null;
                }
                try {
                    method.invoke(null, arguments);
                } catch (InvocationTargetException e) {
                    assertInstanceOf(IllegalStateException.class, e.getCause(),
                            method.getName() + Arrays.toString(arguments));
                }
            }
        }
    }
}
