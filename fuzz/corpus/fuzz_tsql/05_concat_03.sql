select :a + :b, :n + :n
