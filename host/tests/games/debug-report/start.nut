// With debug on, a failing game shows its error report before it closes.
throw "shown in a box";
