# Sourced by the scripts: the Debian packages they install (through
# scripts/install_packages.sh) and how the instrumented build is configured,
# in one place, so that scripts/test.sh installs everything in one apt run and
# builds once what scripts/fuzz.sh also builds alone.

# What any build needs: the compilers' tools and the libraries we link or
# include (libarchive-dev writes and reads packs as one file;
# libcpp-httplib-dev serves the web wizard; libdtl-dev is the line diff).
kestrel_library_packages=(cmake pkg-config libsqlite3-dev libssl-dev libpq-dev libarchive-dev libfmt-dev libcli11-dev
                          nlohmann-json3-dev libdtl-dev libcpp-httplib-dev)
# What the Release build and its tests need besides: gcc; sqlite3 and time
# (GNU time: peak memory) serve bench/run; postgresql is the server the
# PostgreSQL backend's tests start a throwaway cluster of; python3 runs the
# Python binding's test, and with python3-venv, -setuptools and -wheel the
# test of `pip install ./python` offline; groff-base renders the manual pages
# and bash-completion runs the completion's test; the web wizard is tested in
# chromium, driven from npm's puppeteer-core (tests/web).
kestrel_test_packages=(build-essential sqlite3 postgresql bash-completion groff-base libgtest-dev libgmock-dev time
                       python3 python3-venv python3-setuptools python3-wheel chromium)
# A machine may carry Node.js with its own npm from elsewhere, which Debian's
# npm package conflicts with: Debian's are installed only when there is none.
command -v npm >/dev/null || kestrel_test_packages+=(nodejs npm)
# clang and its run time libraries (libFuzzer, the sanitizers) for the
# instrumented build.
kestrel_clang_packages=(clang libclang-rt-dev)

# The instrumented build: clang, AddressSanitizer and UndefinedBehaviorSanitizer
# on everything, and libFuzzer's coverage (KESTREL_FUZZ), so that the same
# objects serve the sanitized tests and the fuzz targets. -O1 keeps it quick
# to build and still fast to run; line tables are all a sanitizer's report
# needs to name file and line, and much less to write and link than full
# debugging information. A Debug build keeps the libraries' assertions in.
kestrel_instrumented_cmake_args=(-DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=Debug
                                 "-DCMAKE_C_FLAGS_DEBUG=-O1 -gline-tables-only"
                                 "-DCMAKE_CXX_FLAGS_DEBUG=-O1 -gline-tables-only" -DKESTREL_FUZZ=ON -DKESTREL_WERROR=ON)
