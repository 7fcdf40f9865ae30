select cast('2024-13-45' as datetime)
