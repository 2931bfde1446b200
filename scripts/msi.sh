#!/usr/bin/env bash
# Builds the SDK's installer from a package tree (wixl, Debian's msitools):
#
#   scripts/msi.sh TREE VERSION OUT.msi
#
# Per machine, into Program Files\Vidlyn\SDK\VERSION (cmake/package/VidlynSdk.wxs),
# every file of TREE as a component of its own. scripts/package.sh calls it for the
# package; the package's test calls it for a newer version of the same tree.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$here")
[ $# -eq 3 ] || { echo "usage: $0 TREE VERSION OUT.msi" >&2; exit 2; }
tree=$(cd "$1" && pwd) version=$2 out=$3
die() { echo "msi: $*" >&2; exit 1; }
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# Ids from the path: a file keeps its ids from build to build.
wxs_id() { printf '%s' "$1" | md5sum | cut -c1-24; }
wxs_dir() { # folder relative to the tree ("" for the top), indentation
    local rel=$1 ind=$2 entry path
    while IFS= read -r entry; do
        path=${rel:+$rel/}$entry
        if [ -d "$tree/$path" ]; then
            echo "$ind<Directory Id=\"d$(wxs_id "$path")\" Name=\"$entry\">"
            wxs_dir "$path" "$ind  "
            echo "$ind</Directory>"
        else
            echo "$ind<Component Id=\"c$(wxs_id "$path")\" Guid=\"*\">"
            echo "$ind  <File Id=\"f$(wxs_id "$path")\" KeyPath=\"yes\" Source=\"\$(var.SourceDir)/$path\"/>"
            echo "$ind</Component>"
        fi
    done < <(cd "$tree/$rel" && LC_ALL=C ls -A)
}
{
    echo '<?xml version="1.0" encoding="utf-8"?>'
    echo '<Wix xmlns="http://schemas.microsoft.com/wix/2006/wi">'
    echo '  <Fragment>'
    echo '    <DirectoryRef Id="INSTALLDIR">'
    wxs_dir "" "      "
    echo '    </DirectoryRef>'
    echo '    <ComponentGroup Id="SdkFiles">'
    (cd "$tree" && find . -type f | sed 's|^\./||' | LC_ALL=C sort) | while IFS= read -r path; do
        echo "      <ComponentRef Id=\"c$(wxs_id "$path")\"/>"
    done
    echo '    </ComponentGroup>'
    echo '  </Fragment>'
    echo '</Wix>'
} >"$tmp/files.wxs"

# wixl takes the files' paths relative to the fragment's folder.
(cd "$tmp" && wixl -a x64 -D Version="$version" -D SourceDir="$(realpath --relative-to=. "$tree")" \
    -o sdk.msi "$root/cmake/package/VidlynSdk.wxs" files.wxs)

# wixl leaves out the inclusive upper bound of the older versions' range (IncludeMaximum):
# set it in the Upgrade table, with MigrateFeatures and the inclusive lower bound.
msiinfo export "$tmp/sdk.msi" Upgrade |
    awk -F'\t' -v OFS='\t' 'NR > 3 && $7 ~ /^OLDER_SDK_FOUND\r?$/ { $5 = 1 + 256 + 512 } 1' >"$tmp/Upgrade.idt"
grep -q $'\t769\t\tOLDER_SDK_FOUND' "$tmp/Upgrade.idt" || die "the installer's Upgrade table has no older-version row"
(cd "$tmp" && msibuild sdk.msi -i Upgrade.idt)
mv "$tmp/sdk.msi" "$out"
