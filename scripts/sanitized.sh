# Sourced by .ci/run and scripts/fuzz.sh: the sanitized build folder and the sanitizers'
# options, kept in one place. `sanitized_build [TARGET...]` configures build-san/ (clang, Debug,
# AddressSanitizer + UndefinedBehaviorSanitizer, the fuzz targets) and builds the targets
# named, or everything.

san_dir=build-san
san_root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

# Stop at the first report. Leaks are checked too, but for the one library listed (with why)
# in the suppressions file, so any other leak reported is one to fix.
export ASAN_OPTIONS="halt_on_error=1:abort_on_error=1:detect_leaks=1:strict_string_checks=1:detect_stack_use_after_return=1"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
export LSAN_OPTIONS="suppressions=$san_root/scripts/lsan.supp:print_suppressions=0"

# Debug builds put the working folder into each object, which ccache otherwise hashes: with the
# folder mapped away (CMakeLists.txt), a cache filled by one clone serves the next.
export CCACHE_NOHASHDIR=1

sanitized_build() {
    CC=clang CXX=clang++ cmake -S "$san_root" -B "$san_root/$san_dir" -G Ninja \
        -DCMAKE_BUILD_TYPE=Debug -DQD_FUZZ=ON -DQD_BUILD_BENCH=OFF >/dev/null
    if [ $# -gt 0 ]; then
        cmake --build "$san_root/$san_dir" -j 2 --target "$@"
    else
        cmake --build "$san_root/$san_dir" -j 2
    fi
}
