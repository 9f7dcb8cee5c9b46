#!/usr/bin/env bash
# Generates a 1,000,000-entry tab-separated source and compiles it, reporting
# the time and peak memory of glossa-compile.
#   bench/compile_million.sh [build-dir] [work-dir]
set -euo pipefail

build=${1:-build}
work=${2:-$(mktemp -d)}
compiler="$build/tools/glossa-compile"
[ -x "$compiler" ] || { echo "no $compiler; build the glossa-compile target first" >&2; exit 2; }
mkdir -p "$work"

# Cyrillic headwords over all 32 capitals plus some Latin ones, in no order;
# articles of about 200 characters.
awk 'BEGIN {
    srand(42);
    split("а б в г д е ж з и й к л м н о п р с т у ф х ц ч ш щ ъ ы ь э ю я", ru, " ");
    split("a b c d e f g h i j k l m n o p q r s t u v w x y z", en, " ");
    body = "толкование слова <i>с разметкой</i>, примерами и ссылками; ";
    body = body body body;
    for (i = 0; i < 1000000; i++) {
        w = "";
        n = 3 + int(rand() * 9);
        for (k = 0; k < n; k++)
            w = w (i % 10 == 0 ? en[1 + int(rand() * 26)] : ru[1 + int(rand() * 32)]);
        printf "%s%d\t<b>%d</b> %s\n", w, i, i, body;
    }
}' > "$work/million.tsv"
ls -l "$work/million.tsv"

/usr/bin/time -v "$compiler" --quiet "$work/million.tsv" "$work/glossa" 2> "$work/time.txt"
grep -E 'Elapsed|Maximum resident' "$work/time.txt"
ls -l "$work/glossa"
"$build/tools/glossa-check" "$work/glossa" | tail -1
