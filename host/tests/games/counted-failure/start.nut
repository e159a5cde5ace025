// A counted run whose script fails: status 1, the report in error.txt and on standard error.
halt();
print("second frame\n");
throw "broken on purpose";
