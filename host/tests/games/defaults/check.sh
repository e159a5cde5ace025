grep -q "Geometry: 640x480" geometry.txt || { cat geometry.txt; exit 1; }
