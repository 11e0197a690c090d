#!/bin/sh
# Makes the committed sample document that the document and packer tests
# read, and the listing of its members beside it. The folder, the document
# and the listing are committed; this script only records how they were
# made, once, so that later changes to the scrambling, the digest or the
# archive code cannot go unnoticed by staying consistent with themselves.
#
#   sh tests/data/documents/make-documents.sh PATH/TO/vekta-pack
#
# The document is packed with the development key in keys/. The sizes and
# MD5 digests in the listing come from stat and md5sum, not from the player;
# the methods are the ones the packer chose when the document was made
# (members that deflate does not shrink are stored).
set -eu
pack=$(realpath "$1")
cd "$(dirname "$0")"

rm -rf sample
mkdir -p sample/data
cat > sample/config.xml <<'XML'
<?xml version="1.0"?>
<vekta>
  <version major="1" minor="6" patch="4"/>
</vekta>
XML
cat > sample/init.lua <<'LUA'
-- A sample document: the menu entries are written out one by one so that
-- the script deflates well.
local entries = {
    "first entry of the menu",
    "second entry of the menu",
    "third entry of the menu",
    "fourth entry of the menu",
}

function startup()
    for i = 1, #entries do
        print(i, entries[i])
    end
end
LUA
# 256 distinct bytes (i x 167 mod 256): deflate does not shrink them.
i=0
while [ $i -lt 256 ]; do
    printf "\\$(printf %03o $(((i * 167) % 256)))"
    i=$((i + 1))
done > sample/data/bytes.bin
: > sample/data/empty.txt

"$pack" --key ../../../keys/vekta-dev.key -o sample.vk sample

# name, size, method, MD5 of the contents; in the document's order.
{
    echo "# name size method md5"
    "$pack" --list sample.vk | tail -n +2 | while read -r size packed method name; do
        echo "$name $(stat -c %s "sample/$name") $method $(md5sum < "sample/$name" | cut -d' ' -f1)"
    done
} > sample.members
