#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Builds the Debian package from a build tree and checks what a user would
# get from it.
#   check_package.sh BUILD_DIR VERSION CPACK KORVANE_CLI [KORVANE]
# Exit 0: all good; 1: a check failed; 77: skipped (tools missing).
set -uo pipefail
build=$1 version=$2 cpack=$3 cli=$4 gui=${5:-}

for tool in dpkg dpkg-deb dpkg-shlibdeps; do
    if ! command -v "$tool" >/dev/null; then
        echo "SKIP: $tool is not installed"
        exit 77
    fi
done

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
skipped=()

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# gzip keeps the step quick whatever the package would use.
if ! "$cpack" -G DEB --config "$build/CPackConfig.cmake" -B "$work" \
        -D CPACK_DEBIAN_COMPRESSION_TYPE=gzip >"$work/cpack.log" 2>&1; then
    cat "$work/cpack.log"
    echo "FAIL: cpack could not make the package"
    exit 1
fi
deb=$work/korvane_${version}_$(dpkg --print-architecture).deb
if [ ! -f "$deb" ]; then
    cat "$work/cpack.log"
    echo "FAIL: no $(basename "$deb") in the cpack output"
    exit 1
fi

# The file list as paths: the sixth column on, without a link's target.
dpkg-deb -c "$deb" | sed -E 's/^([^ ]+ +){5}//; s/ -> .*//; s|^\./|/|; s|/$||' >"$work/list"
has() { grep -qxF -- "$1" "$work/list" || fail "the package has no $1"; }

doc=/usr/share/doc/korvane
live=/usr/libexec/korvane/korvane-cli-live
for path in /usr/bin/korvane /usr/bin/korvane-cli "$live" \
        /usr/share/applications/korvane.desktop \
        /usr/share/mime/packages/korvane.xml \
        /usr/share/metainfo/io.korvane.Korvane.metainfo.xml \
        /usr/share/icons/hicolor/scalable/apps/korvane.svg \
        /usr/share/icons/hicolor/48x48/apps/korvane.png \
        /usr/share/icons/hicolor/256x256/apps/korvane.png \
        /usr/share/man/man1/korvane.1.gz /usr/share/man/man1/korvane-cli.1.gz \
        "$doc/korvane_documentation.html" "$doc/release notes.txt" \
        "$doc/examples/bookshop.kvn" "$doc/examples/bookshop.sql" "$doc/examples/bookshop.sqlite" \
        "$doc/examples/templates/index.html" "$doc/examples/templates/book.html" \
        "$doc/examples/templates/author.html" "$doc/examples/site/style.css" \
        "$doc/copyright" "$doc/changelog.gz" /usr/share/doc-base/korvane; do
    has "$path"
done
others=$(grep -E '^/usr/bin/.' "$work/list" | grep -vxE '/usr/bin/korvane(-cli)?')
[ -z "$others" ] || fail "more than the two programs under /usr/bin: $others"
outside=$(grep -vE '^(/usr|/usr/(bin|share|libexec/korvane)(/.*)?|/usr/libexec)?$' "$work/list")
[ -z "$outside" ] || fail "files outside /usr/bin, /usr/libexec/korvane and /usr/share: $outside"
# Owned by root and writable by root alone, whatever the builder's umask:
# programs 755, other files 644, folders 755.
odd=$(dpkg-deb -c "$deb" | awk '
    $2 != "root/root" { print; next }
    $1 ~ /^d/ && $1 != "drwxr-xr-x" { print; next }
    $1 ~ /^-/ && $6 ~ /^\.\/usr\/(bin|libexec)\// && $1 != "-rwxr-xr-x" { print; next }
    $1 ~ /^-/ && $6 !~ /^\.\/usr\/(bin|libexec)\// && $1 != "-rw-r--r--" { print }')
[ -z "$odd" ] || fail "owners or permissions out of the ordinary: $odd"

# Control fields: the name and version, the libraries dpkg-shlibdeps found,
# and what is loaded only at run time.
field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = korvane ] || fail "Package is '$(field Package)'"
[ "$(field Version)" = "$version" ] || fail "Version is '$(field Version)', not $version"
depends=", $(field Depends),"
for dep in libc6 libqt6core6 libqt6sql6-sqlite libqt6sql6-odbc odbcinst libqt6svg6; do
    grep -qE "[ ,]$dep([ (,]|$)" <<<"$depends" || fail "Depends lacks $dep: $depends"
done
[ -n "$gui" ] && { grep -qE "[ ,]libqt6widgets6[ (,]" <<<"$depends" || fail "Depends lacks libqt6widgets6"; }
grep -qE '(^|[ ,])xdg-utils([ (,]|$)' <<<"$(field Recommends)" || fail "xdg-utils is not recommended"
[ -n "$(field Description)" ] || fail "no Description"

# The Maintainer has an address, and lintian (at its most pedantic) finds no
# error or warning.
grep -qE '<[^@ ]+@[^> ]+>$' <<<"$(field Maintainer)" || fail "Maintainer has no address: $(field Maintainer)"
[ "$(grep -o 'libqt6svg6' <<<"$depends" | wc -l)" -eq 1 ] || fail "Depends names libqt6svg6 more than once"
if command -v lintian >/dev/null; then
    lintian -EvIL +pedantic --fail-on error,warning "$deb" >"$work/lintian.log" 2>&1 ||
        { cat "$work/lintian.log"; fail "lintian finds errors or warnings"; }
else
    skipped+=(lintian)
fi

root=$work/root
dpkg-deb -x "$deb" "$root"
for program in korvane korvane-cli; do
    [ -x "$root/usr/bin/$program" ] || fail "/usr/bin/$program is not executable"
done
# Every picture the documentation shows is there beside it.
html=$root$doc/korvane_documentation.html
if [ -f "$html" ]; then
    while IFS= read -r picture; do
        [ -f "$root$doc/$picture" ] || fail "the documentation shows $picture, which is not installed"
    done < <(grep -oE 'src="[^":]+"' "$html" | sed -E 's/^src="//; s/"$//')
fi

# PNG width and height are the big-endian words at bytes 16 and 20.
for size in 48 256; do
    png=$root/usr/share/icons/hicolor/${size}x${size}/apps/korvane.png
    [ -f "$png" ] || continue
    dims=$(od -An -tx1 -j16 -N8 "$png" | tr -d ' \n')
    [ "$dims" = "$(printf '%08x%08x' "$size" "$size")" ] || fail "the ${size}x$size icon is $dims"
done

# The desktop entry opens settings files with the program.
desktop=$root/usr/share/applications/korvane.desktop
if [ -f "$desktop" ]; then
    for line in 'Exec=korvane %f' 'MimeType=application/x-korvane-settings;' 'Icon=korvane'; do
        grep -qxF "$line" "$desktop" || fail "the desktop entry lacks $line"
    done
    if command -v desktop-file-validate >/dev/null; then
        desktop-file-validate "$desktop" || fail "desktop-file-validate rejects the desktop entry"
    else
        skipped+=(desktop-file-validate)
    fi
fi
metainfo=$root/usr/share/metainfo/io.korvane.Korvane.metainfo.xml
if [ -f "$metainfo" ]; then
    if command -v appstreamcli >/dev/null; then
        appstreamcli validate --no-net "$metainfo" >"$work/appstream.log" 2>&1 ||
            { cat "$work/appstream.log"; fail "appstreamcli rejects the metainfo"; }
    else
        skipped+=(appstreamcli)
    fi
fi
# The file type, as the desktop's MIME database would compile it.
mime=$root/usr/share/mime/packages/korvane.xml
if [ -f "$mime" ]; then
    if command -v update-mime-database >/dev/null; then
        mkdir -p "$work/mime/packages" && cp "$mime" "$work/mime/packages/"
        if update-mime-database "$work/mime" >"$work/mime.log" 2>&1; then
            grep -qx 'application/x-korvane-settings:\*\.kvn.*' <(cut -d: -f2- "$work/mime/globs2") ||
                fail "the MIME database has no *.kvn glob"
            grep -q '<comment>Korvane settings</comment>' "$mime" || fail "the file type's comment"
        else
            cat "$work/mime.log"
            fail "update-mime-database rejects the file type"
        fi
    else
        skipped+=(update-mime-database)
    fi
fi

# Manual pages: clean roff, and every option of --help in the page.
options_in() { grep -oE '(^|[[:space:],|])--?[a-z][a-z-]*' | sed -E 's/^[[:space:],|]//' | sort -u; }
for page in korvane-cli korvane; do
    gz=$root/usr/share/man/man1/$page.1.gz
    [ -f "$gz" ] || continue
    gunzip -c "$gz" >"$work/$page.1"
    if command -v groff >/dev/null; then
        warnings=$(groff -man -ww -z "$work/$page.1" 2>&1)
        [ -z "$warnings" ] || fail "groff warns about $page.1: $warnings"
    fi
    text=$(sed 's/\\-/-/g' "$work/$page.1")
    program=$cli
    [ "$page" = korvane ] && program=$gui
    [ -n "$program" ] || continue
    help=$("$program" --help 2>&1) || fail "$page --help exits with a failure"
    [ -n "$help" ] || fail "$page --help prints nothing"
    for option in $(options_in <<<"$help"); do
        grep -qF -- "$option" <<<"$text" || fail "$page.1 does not mention $option"
    done
done
[ -f "$work/korvane.1" ] && { grep -qF '/auto' "$work/korvane.1" || fail "korvane.1 does not explain /auto"; }

# The packaged example, generated by the packaged program where it lies.
example=$root$doc/examples
if [ -x "$root/usr/bin/korvane-cli" ] && [ -f "$example/bookshop.kvn" ]; then
    "$root/usr/bin/korvane-cli" generate --quiet "$example/bookshop.kvn" >"$work/generate.log" 2>&1 ||
        { cat "$work/generate.log"; fail "the packaged example does not generate cleanly"; }
    [ -s "$example/site/index.html" ] || fail "the packaged example wrote no site/index.html"
    # watch and serve find korvane-cli-live where the package puts it: it
    # answers for a settings file that is not there.
    "$root/usr/bin/korvane-cli" watch "$work/none.kvn" >"$work/watch.log" 2>&1
    grep -qF "cannot read the settings file" "$work/watch.log" ||
        { cat "$work/watch.log"; fail "the packaged korvane-cli does not start korvane-cli-live"; }
fi

if [ "$failures" -gt 0 ]; then
    echo "$failures check(s) failed"
    exit 1
fi
if [ ${#skipped[@]} -gt 0 ]; then
    echo "SKIP: the package is right, but ${skipped[*]} could not be run"
    exit 77
fi
echo "korvane_${version} package: all checks passed"
