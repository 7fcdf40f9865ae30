/* outer /* inner */ still comment */ select 1 -- trailing
-- a line
+ 2
