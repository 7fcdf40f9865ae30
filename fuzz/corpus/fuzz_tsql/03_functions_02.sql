select charindex('B', 'abcb'), charindex('z', 'abc'), substring(N'北京市朝阳区', 3, 2), left('abcdef', 2), right('abcdef', 3), right('ab', 5)
