# Pinned versions of what the set-up fetches, and where it keeps them between runs.
SDL3_SUITE=trixie
SDL3_DEBIAN_VERSION=3.2.10+ds-1
SDL3_VERSION=3.2.10
STB_SUITE=trixie
STB_DEBIAN_VERSION='0.0~git20241109.5c20573+ds-1'
DAWN_NPM_VERSION=0.1.7
DAWN_LIB_INTEGRITY='sha512-UEP7UZdEhx9otvkZczjsszL8ZVlrODANQvgl+C88/bNVmxDoFi7w1fWzGi1sZyakiETjmtFDq2/xCLhbSZxjqw=='
DAWN_DESC_INTEGRITY='sha512-KUxUp+oQIf7pPBMD4Hv1TUu7DWaOZ4ciKulTk9to9+Uc8yHoYrMW7L2SJCJ4FHHkywgf/7aLRgRx0b7i6DvGIQ=='
VZ_CACHE=${VZ_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/vornhalzanthery}
# Windows cross build: Dawn's DLL exists on npm only up to 0.1.5, so it is pinned apart from the Linux
# library, with its own describing package to check our declarations against.
DAWN_WIN_NPM_VERSION=0.1.5
DAWN_WIN_LIB_INTEGRITY='sha512-zvnUl4EAsQbKsmZVu+lEJcH8axQ7MiCfqg2OmnHd6uw1THABmHaX0GbpKiHshdgadNN2Nf+4zDyTJB5YMcAdrA=='
DAWN_WIN_DESC_INTEGRITY='sha512-91/K6S5whZKX7CWAm9AylhyKrLGRz6BUiiPiM/kXadSnD4rffljCD/q9cNFftm5YXhx4MvLqw33yEilxogJvwA=='
# Dawn's own licence, read from Dawn's own npm package (the wrapper packages carry only theirs).
DAWN_LICENSE_NPM_VERSION=0.6.2
DAWN_LICENSE_INTEGRITY='sha512-3L4GfmqJLvYUIEWJngEQY+2HQiUlAFkg8+P8NDDj3Xx5hHHIFO/r8JW+ynfqBj7kHN4mbnwO74uB+lrRtLhp4Q=='
# This release's number, as the client compares it with the published one: read from the one place it
# is written.
vz_release_number() {
  sed -n 's/^constexpr int BuiltInReleaseNumber = \([0-9][0-9]*\);.*/\1/p' \
    "$(dirname "${BASH_SOURCE[0]}")/../protocol/release_number.h"
}
# Who the server's Debian package names as its maintainer.
VZ_PACKAGE_MAINTAINER=${VZ_PACKAGE_MAINTAINER:-Vornhal Zanthery makers <makers@vornhalzanthery.invalid>}
