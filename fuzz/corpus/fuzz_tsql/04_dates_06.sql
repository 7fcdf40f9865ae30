select cast('2024-01-05' as datetime), cast('20240105' as date), convert(datetime, '2024/01/05 10:20')
