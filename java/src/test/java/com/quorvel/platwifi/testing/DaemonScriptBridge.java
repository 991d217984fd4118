package com.quorvel.platwifi.testing;

/**
 * Scripts the test backend of the test build of the library: what the daemon
 * answers, and the log of every call made to it ("operation(arg, arg)", null
 * shown as "null"). Also fixes the runtime clock, reaches Crypt and
 * registers the natives of BWifiPlatformService by their C types. These
 * natives exist only in the test build; against the product library every
 * call throws {@link UnsatisfiedLinkError}.
 */
public final class DaemonScriptBridge {
    static {
        System.loadLibrary("wireless");
    }

    private DaemonScriptBridge() {}

    /** Forgets every answer and every recorded call; back to the system clock. */
    public static native void reset();

    public static native void adapters(String... names);
    public static native void networks(String... lines);
    public static native void scanResults(String... lines);
    public static native void status(String... lines);
    /** The result of a data-less operation such as "addNetwork" or "saveConfig". */
    public static native void result(String operation, boolean value);

    /** Every recorded call, a line each. */
    public static native String calls();

    /** Crypt of the library; null (and a pending IllegalStateException) on failure. */
    public static native String encrypt(String plainText);
    public static native String decrypt(String cipherText);

    /** From now on the runtime clock reads {@code millis}. */
    public static native void setClock(long millis);

    /** Registers every native C function of the service class under the descriptor of its C types; how many. */
    public static native int registerNatives(Class<?> service);
}
