select len('abc  '), len(N'北京市'), len(''), datalength('ab')
