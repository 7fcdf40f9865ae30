select '[' + ltrim('  a ') + ']', '[' + rtrim(' a  ') + ']', upper('ab'), replace('a-b-c', '-', ''), replicate('ab', 3), reverse('abc')
