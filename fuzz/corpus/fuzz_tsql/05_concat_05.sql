select :a + :n
