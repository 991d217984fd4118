/*
 * The machine-dependent part of the JNI header for Windows targets, used
 * with the JDK's own jni.h when building for Windows on another host.
 * Exported functions are marked for the DLL export table, and natives use
 * the Windows standard calling convention (the only one on x64).
 */
#ifndef _JAVASOFT_JNI_MD_H_
#define _JAVASOFT_JNI_MD_H_

#define JNIEXPORT __declspec(dllexport)
#define JNIIMPORT __declspec(dllimport)
#define JNICALL __stdcall

/* jint is 32 bits and jlong 64 bits, as on every JNI platform. */
typedef long jint;
typedef __int64 jlong;
typedef signed char jbyte;

#endif /* !_JAVASOFT_JNI_MD_H_ */
