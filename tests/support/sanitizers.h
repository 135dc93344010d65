#pragma once
// The few tests that integrate whole crystals take minutes under the
// sanitizers' instrumented Debug build; the release build runs them in full.
#if defined(__SANITIZE_ADDRESS__)
#define KELDANA_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KELDANA_SANITIZED 1
#endif
#endif

#ifdef KELDANA_SANITIZED
#define SKIP_WHEN_SANITIZED() GTEST_SKIP() << "too slow under the sanitizers; the release build runs it"
#else
#define SKIP_WHEN_SANITIZED() (void)0
#endif
