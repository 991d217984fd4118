package com.quorvel.platwifi;

import static com.quorvel.platwifi.NativeMethods.*;
import static org.junit.jupiter.api.Assertions.*;

import java.util.*;
import org.junit.jupiter.api.Test;

/**
 * The product library on the real JVM. Its backend answers nothing, so every
 * instance ends up unloaded: no adapters, no database.
 */
class ProductLibraryTest {
    @Test
    void declarationsMatchTheCFunctions() throws Exception {
        assertEquals(74, NATIVES.size(), "natives by name");
        Map<String, String> listed = listedDescriptors();
        Set<String> names = new TreeSet<>(listed.keySet());
        names.addAll(NATIVES.keySet());
        assertEquals(List.of(), names.stream().filter(n -> !Objects.equals(descriptor(NATIVES.get(n)), listed.get(n)))
                .map(n -> n + ": Java " + descriptor(NATIVES.get(n)) + ", natives.txt " + listed.get(n)).toList());
    }

    @Test
    void everyNativeAnswersAsAnUnloadedInstance() {
        // Parameter getters give their missing value, setters false (a secret
        // setter fails before decrypting). An unknown network counts as
        // removed and as disconnected; nothing changed, so nothing needed saving.
        Map<String, Object> expected = new HashMap<>();
        for (Parameter parameter : PARAMETERS) {
            if (parameter.getter() != null) expected.put(parameter.getter(), parameter.missing());
            if (parameter.setter() != null) expected.put(parameter.setter(), false);
        }
        Object[][] service = {{"discoverNetworks0", null}, {"isWifiEnabled0", false}, {"hashCACertificates0", false},
            {"getWifiAdapters0", List.of()}, {"getNetworkDatabaseSsids0", List.of()}, {"addNetwork0", false},
            {"removeNetwork0", true}, {"connectToNetwork0", false}, {"disconnectFromNetwork0", true},
            {"roamNetworks0", false}, {"saveHostSettings0", true}, {"getDaemonStatus0", 0},
            {"getCurrentNetwork0", null}, {"unloadWifiSettings0", true}};
        for (Object[] row : service) expected.put((String) row[0], row[1]);
        assertEquals(NATIVES.keySet(), new TreeSet<>(expected.keySet()));

        // In name order, so unloadWifiSettings0 comes last: on the instance the
        // first call creates, then on fresh ones after each unload.
        for (int round = 0; round < 3; round++) {
            for (String name : NATIVES.keySet()) assertEquals(expected.get(name), callOn(name, A, "office", -1), name);
        }
        callWithNullStrings(A, "office");
    }
}
