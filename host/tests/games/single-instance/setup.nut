ID = "single-instance-test";
title = "Single";
single = true;
