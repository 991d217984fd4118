package com.quorvel.platwifi;

/**
 * The Wi-Fi configuration of the host, as the native library {@code wireless}
 * holds it.
 *
 * <p>Per-network methods take the adapter name and the SSID of a configured
 * network, then their value. A network that is not found gives 0, false or
 * null ({@link #getNetworkMode0} gives 2, {@link #getWepKeys0} four empty
 * strings); setters return whether the stored value changed, except
 * {@link #setSignalStrength0}, {@link #setNetworkStatus0} and
 * {@link #setSsidBroadcasted0}, which return true whenever the network is
 * found. Secrets (the pre-shared key, the EAP password and the private key
 * passwords) cross this interface only encrypted: a secret setter takes
 * cipher text or "" (stored as it is); null or cipher text that doesn't
 * decrypt returns false, leaves the stored secret alone and raises
 * {@link IllegalStateException}, as does a secret that can't be encrypted.
 *
 * <p>Any thread may call any method except {@link #unloadWifiSettings0},
 * which must not run while other calls do.
 */
public final class BWifiPlatformService {
    static {
        System.loadLibrary("wireless");
    }

    private BWifiPlatformService() {}

    // ---- network parameters -------------------------------------------

    public static native int getKeyManagement0(String adapter, String ssid);
    public static native boolean setKeyManagement0(String adapter, String ssid, int keyManagement);
    public static native int getProtocol0(String adapter, String ssid);
    public static native boolean setProtocol0(String adapter, String ssid, int protocol);
    public static native int getAuthentication0(String adapter, String ssid);
    public static native boolean setAuthentication0(String adapter, String ssid, int authentication);
    public static native int getEAPMethod0(String adapter, String ssid);
    public static native boolean setEAPMethod0(String adapter, String ssid, int eapMethod);
    public static native int getWepIndex0(String adapter, String ssid);
    /** False for an index outside 0 to 3 or an unchanged one. */
    public static native boolean setWepIndex0(String adapter, String ssid, int index);
    public static native int getStrength0(String adapter, String ssid);
    /** True whenever the network is found. */
    public static native boolean setSignalStrength0(String adapter, String ssid, int strength);
    public static native int getChannel0(String adapter, String ssid);

    /** 0 to 255; 2 (unknown) when the network is not found. */
    public static native int getNetworkMode0(String adapter, String ssid);
    /** Only the unsigned 8 bits of {@code mode} count. */
    public static native boolean setNetworkMode0(String adapter, String ssid, byte mode);
    /** True whenever the network is found. */
    public static native boolean setNetworkStatus0(String adapter, String ssid, int status);
    public static native int getPriority0(String adapter, String ssid);
    /** Only the unsigned 8 bits of {@code priority} count: (byte) 300 stores 44. */
    public static native boolean setPriority0(String adapter, String ssid, byte priority);
    public static native boolean getSsidBroadcasted0(String adapter, String ssid);
    /** 1 stores true, any other value false; true whenever the network is found. */
    public static native boolean setSsidBroadcasted0(String adapter, String ssid, byte broadcasted);

    /** The pairwise and group ciphers together. */
    public static native int getSupportedEncrytptionMethods0(String adapter, String ssid);
    /**
     * 6 sets CCMP pairwise and TKIP group; other cipher values set both where they apply
     * (16 and 8 only the group, 1 only the pairwise cipher). An unchanged pairwise cipher
     * returns false and leaves the group alone; otherwise the result is whether the group
     * changed, or true when the group is left alone.
     */
    public static native boolean setEncryption0(String adapter, String ssid, int ciphers);

    /** Renames the network: afterwards it is found by {@code newSsid} only. */
    public static native boolean setSsid0(String adapter, String ssid, String newSsid);
    public static native String getBssid0(String adapter, String ssid);
    public static native boolean setPreferredBssid0(String adapter, String ssid, String bssid);
    public static native String getEAPIdentity0(String adapter, String ssid);
    public static native boolean setEAPIdentity0(String adapter, String ssid, String identity);
    public static native String getEAPAnonymousIdentity0(String adapter, String ssid);
    public static native boolean setEAPAnonymousIdentity0(String adapter, String ssid, String identity);
    public static native String getCACertificate0(String adapter, String ssid);
    public static native boolean setCACertificate0(String adapter, String ssid, String path);
    public static native String getCACertificateDir0(String adapter, String ssid);
    public static native boolean setCACertificateDir0(String adapter, String ssid, String path);
    public static native String getClientCertificate0(String adapter, String ssid);
    public static native boolean setClientCertificate0(String adapter, String ssid, String path);
    public static native String getPrivateKeyFile0(String adapter, String ssid);
    public static native boolean setPrivateKeyFile0(String adapter, String ssid, String path);
    public static native String getTunnelPhase10(String adapter, String ssid);
    public static native boolean setTunnelPhase10(String adapter, String ssid, String phase1);
    public static native String getTunnelPhase20(String adapter, String ssid);
    public static native boolean setTunnelPhase20(String adapter, String ssid, String phase2);
    public static native String getCACertificate20(String adapter, String ssid);
    public static native boolean setCACertificate20(String adapter, String ssid, String path);
    public static native String getCACertificateDir20(String adapter, String ssid);
    public static native boolean setCACertificateDir20(String adapter, String ssid, String path);
    public static native String getClientCertificate20(String adapter, String ssid);
    public static native boolean setClientCertificate20(String adapter, String ssid, String path);
    public static native String getPrivateKeyFile20(String adapter, String ssid);
    public static native boolean setPrivateKeyFile20(String adapter, String ssid, String path);

    /** Encrypted; null when no key is stored. */
    public static native String getPreSharedKey0(String adapter, String ssid);
    /** {@code key} encrypted, or empty; false (and an exception) when it doesn't decrypt or is null. */
    public static native boolean setPreSharedKey0(String adapter, String ssid, String key);
    public static native String getEAPPassword0(String adapter, String ssid);
    public static native boolean setEAPPassword0(String adapter, String ssid, String password);
    public static native String getPrivateKeyPassword0(String adapter, String ssid);
    public static native boolean setPrivateKeyPassword0(String adapter, String ssid, String password);
    public static native String getPrivateKeyPassword20(String adapter, String ssid);
    public static native boolean setPrivateKeyPassword20(String adapter, String ssid, String password);

    /** Always four keys, index 0 to 3; "" for a key that is not set. */
    public static native String[] getWepKeys0(String adapter, String ssid);
    /** False for an index outside 0 to 3. */
    public static native boolean setWepKey0(String adapter, String ssid, int index, String key);

    // ---- service ----------------------------------------------------------

    /** The daemon's scan result lines, or null when the scan failed. */
    public static native String[] discoverNetworks0(String adapter);
    /** {@code adapter} may be null. */
    public static native boolean isWifiEnabled0(String adapter);
    public static native boolean hashCACertificates0();
    public static native String[] getWifiAdapters0();
    /** At most 32 SSIDs, newest network first. */
    public static native String[] getNetworkDatabaseSsids0(String adapter);
    public static native boolean addNetwork0(String adapter, String ssid);
    public static native boolean removeNetwork0(String adapter, String ssid);
    public static native boolean connectToNetwork0(String adapter, String ssid);
    public static native boolean disconnectFromNetwork0(String adapter, String ssid);
    public static native boolean roamNetworks0(String adapter);
    public static native boolean saveHostSettings0();
    /** The daemon state, 0 (unknown) to 8 (completed). */
    public static native int getDaemonStatus0(String adapter);
    public static native int getNetworkStatus0(String adapter, String ssid);
    public static native String getCurrentNetwork0(String adapter);
    /** Forgets everything; the next call loads from the daemon again. */
    public static native boolean unloadWifiSettings0();
}
