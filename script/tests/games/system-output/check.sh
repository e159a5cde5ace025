# Addresses differ from run to run.
sed -E 's/0x[0-9A-Fa-f]+/0xADDR/g' "$OUT" > masked.txt
cat > want.txt <<'WANT'
400 400 200 399 6 
(array : 0xADDR)
{
    [0] => "tab\there\nnext"
    [1] => (table : 0xADDR)
    {
        [key] => 1
    }
    [2] => null
    [3] => 2.5
}
(instance : 0xADDR)
{
    [x] => 1
    [y] => "two"
}
(table : 0xADDR)
{
    [child] => (table : 0xADDR)
    {
        [up] => (table : 0xADDR) *RECURSION*
    }
}
(array : 0xADDR)
{
    [0] => (array : 0xADDR)
    {
        [0] => 1
    }
    [1] => (array : 0xADDR)
    {
        [0] => 1
    }
}
7-seven-7.0
printfのパラメータ引数が多すぎます。(最大10個まで)
0 78
acall:指定できる引数は０～１２個です。
two
true false false true
handler called
システムイベントハンドラーの呼び出し引数が多すぎます。
2 3 4 f
WANT
diff -u want.txt masked.txt
