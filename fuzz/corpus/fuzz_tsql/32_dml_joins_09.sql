update top (1) t set a = 1 from t join u on u.id = t.id
