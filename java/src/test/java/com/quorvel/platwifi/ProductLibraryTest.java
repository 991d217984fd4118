package com.quorvel.platwifi;

import static com.quorvel.platwifi.NativeMethods.*;
import static org.junit.jupiter.api.Assertions.*;

import org.junit.jupiter.api.Test;

/**
 * The product library on the real JVM. Its backend answers nothing, so every
 * instance ends up unloaded: no adapters, no database.
 */
class ProductLibraryTest {
    @Test
    void everyNativeAnswersAsAnUnloadedInstance() {
        assertEquals(74, NATIVES.size(), "natives by name");
        // In name order, so unloadWifiSettings0 comes last: on the instance the
        // first call creates, then on fresh ones after each unload.
        for (int round = 0; round < 3; round++) {
            for (String name : NATIVES.keySet()) assertEquals(unloadedAnswer(name), callOn(name, A, "office", -1), name);
        }
    }
}
