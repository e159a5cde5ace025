# The bytes the script wrote: encodings, CR LF line ends, little-endian values.
set -e
expect() { # file, expected bytes as printf text
    printf "$2" >expected.bytes
    cmp "$1" expected.bytes || { echo "$1:"; od -c "$1"; exit 1; }
}
expect out/sjis.txt '\x93\xfa\x96\x7b\x8c\xea\r\nline'
expect out/utf8.txt '\xe6\x97\xa5\xe6\x9c\xac\xe8\xaa\x9e\r\nmore'
expect out/utf16le.txt 'a\0b\0'
expect out/lines.txt 'abcde\r\nyz\r\n'
expect out/values.bin '\xc0\x1d\xfe\xff\xef\xbe\0\0\0\0\0\0\xc0\x3f\x01\x02\x03\x02\x03'
# Archived paths are never created on disk; the removed folder is gone.
[ ! -e packed ] && [ ! -e out/sub.d ]
