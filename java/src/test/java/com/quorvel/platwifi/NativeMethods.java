package com.quorvel.platwifi;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertInstanceOf;

import java.io.IOException;
import java.io.InputStream;
import java.lang.reflect.InvocationTargetException;
import java.lang.reflect.Method;
import java.lang.reflect.Modifier;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.Comparator;
import java.nio.charset.StandardCharsets;
import java.util.List;
import java.util.Map;
import java.util.Set;
import java.util.TreeMap;
import java.util.TreeSet;

/** The natives of BWifiPlatformService, found by reflection. */
final class NativeMethods {
    static final int COUNT = 74;

    private NativeMethods() {}

    static List<Method> all() {
        List<Method> natives = new ArrayList<>();
        for (Method method : BWifiPlatformService.class.getDeclaredMethods()) {
            if (Modifier.isNative(method.getModifiers())) natives.add(method);
        }
        natives.sort(Comparator.comparing(Method::getName));
        return natives;
    }

    /** The JNI descriptor of a method, "(Ljava/lang/String;B)Z" and the like. */
    static String descriptor(Method method) {
        StringBuilder descriptor = new StringBuilder("(");
        for (Class<?> type : method.getParameterTypes()) descriptor.append(code(type));
        return descriptor.append(')').append(code(method.getReturnType())).toString();
    }

    private static String code(Class<?> type) {
        if (type.isArray()) return "[" + code(type.getComponentType());
        if (type == boolean.class) return "Z";
        if (type == byte.class) return "B";
        if (type == int.class) return "I";
        if (type == long.class) return "J";
        if (type == void.class) return "V";
        if (type.isPrimitive()) throw new AssertionError("unexpected type " + type);
        return "L" + type.getName().replace('.', '/') + ";";
    }

    /** natives.txt: the descriptors the C declarations are tested against too. */
    static Map<String, String> listedDescriptors() throws IOException {
        Map<String, String> listed = new TreeMap<>();
        try (InputStream in = NativeMethods.class.getResourceAsStream("natives.txt")) {
            if (in == null) throw new AssertionError("natives.txt is not on the class path");
            for (String line : new String(in.readAllBytes(), StandardCharsets.UTF_8).split("\n")) {
                if (line.isBlank() || line.startsWith("#")) continue;
                String[] parts = line.trim().split(" ");
                if (parts.length != 2 || listed.put(parts[0], parts[1]) != null) {
                    throw new AssertionError("bad line in natives.txt: " + line);
                }
            }
        }
        return listed;
    }

    static Set<String> names() {
        Set<String> names = new TreeSet<>();
        for (Method method : all()) names.add(method.getName());
        return names;
    }

    /**
     * Calls every native that takes strings once with each string argument
     * null and once with all of them null; the other strings are adapter,
     * ssid and "value" in argument order. A call may return anything and may
     * throw IllegalStateException, nothing else. Returns the number of calls.
     */
    static int callWithNullStrings(String adapter, String ssid) throws IllegalAccessException {
        List<Method> natives = all();
        assertEquals(COUNT, natives.size());
        int calls = 0;
        for (Method method : natives) {
            Class<?>[] types = method.getParameterTypes();
            List<Integer> stringSlots = new ArrayList<>();
            for (int i = 0; i < types.length; i++) {
                if (types[i] == String.class) stringSlots.add(i);
            }
            if (stringSlots.isEmpty()) continue;
            for (int nulled = -1; nulled < stringSlots.size(); nulled++) {
                Object[] arguments = arguments(types, adapter, ssid);
                if (nulled < 0) {
                    for (int slot : stringSlots) arguments[slot] = null;
                } else {
                    arguments[stringSlots.get(nulled)] = null;
                }
                invokeAllowingIllegalState(method, arguments);
                calls++;
            }
        }
        return calls;
    }

    private static Object[] arguments(Class<?>[] types, String adapter, String ssid) {
        String[] strings = {adapter, ssid, "value"};
        Object[] arguments = new Object[types.length];
        int nextString = 0;
        for (int i = 0; i < types.length; i++) {
            if (types[i] == String.class) {
                arguments[i] = strings[Math.min(nextString++, strings.length - 1)];
            } else if (types[i] == int.class) {
                arguments[i] = 1;
            } else if (types[i] == byte.class) {
                arguments[i] = (byte) 1;
            } else {
                throw new AssertionError("unexpected parameter type " + types[i]);
            }
        }
        return arguments;
    }

    private static void invokeAllowingIllegalState(Method method, Object[] arguments)
            throws IllegalAccessException {
        try {
            method.invoke(null, arguments);
        } catch (InvocationTargetException e) {
            assertInstanceOf(IllegalStateException.class, e.getCause(),
                    method.getName() + Arrays.toString(arguments));
        }
    }
}
