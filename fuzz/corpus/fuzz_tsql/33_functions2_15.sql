select log10(0)
