select soundex('abc')
