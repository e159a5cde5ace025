grep -q "koframe: error report box shown" "$ERR" || { cat "$ERR"; exit 1; }
